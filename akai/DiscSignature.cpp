#include "akai/DiscSignature.h"

std::array<uint8_t, kAkaiSignatureLength> AkaiSignatureBytes() {
  std::array<uint8_t, kAkaiSignatureLength> bytes{};
  for (size_t k = 0; k < kAkaiSignatureLength / 2; ++k) {
    const uint16_t word = static_cast<uint16_t>(9999 + 3333 * k);
    bytes[2 * k] = static_cast<uint8_t>(word & 0xFF);
    bytes[2 * k + 1] = static_cast<uint8_t>(word >> 8);
  }
  return bytes;
}

bool HasAkaiSignature(const uint8_t* sector, size_t size) {
  if (sector == nullptr || size < kAkaiSignatureOffset + kAkaiSignatureLength) return false;
  static const std::array<uint8_t, kAkaiSignatureLength> expected = AkaiSignatureBytes();
  int differing = 0;
  for (size_t i = 0; i < kAkaiSignatureLength; ++i) {
    if (sector[kAkaiSignatureOffset + i] != expected[i]) ++differing;
  }
  return differing <= kAkaiSignatureTolerance;
}
