#include "akai/internal/AkaiNames.h"

#include <cstring>

namespace {

constexpr uint8_t kAkaiSpace = 10;
constexpr char kFileTypeLetters[] = "aobcydpsqtx";

// The ASCII character of a valid AKAI byte (0..40).
char AkaiChar(uint8_t byte) {
  if (byte <= 9) return static_cast<char>('0' + byte);
  if (byte == kAkaiSpace) return ' ';
  if (byte <= 36) return static_cast<char>('A' + (byte - 11));
  static constexpr char kSymbols[] = "#+-.";
  return kSymbols[byte - 37];
}

bool IsFileTypeLetter(uint8_t byte) {
  return byte != 0 && std::memchr(kFileTypeLetters, byte, sizeof kFileTypeLetters - 1) != nullptr;
}

}  // namespace

bool AkaiToAscii(uint8_t* bytes, int length, bool trim) {
  bool valid = true;
  for (int i = 0; i < length; ++i) {
    if (bytes[i] > 40) {
      valid = false;  // left as it is; the rest of the name is still converted
      continue;
    }
    bytes[i] = static_cast<uint8_t>(AkaiChar(bytes[i]));
  }
  if (trim) {
    int end = length;
    while (end > 0 && bytes[end - 1] == ' ') --end;
    bytes[end] = 0;
  }
  return valid;
}

bool ClassifyFileType(uint8_t& typeByte, bool& isS3000Form) {
  if (IsFileTypeLetter(typeByte)) {
    isS3000Form = false;
    return true;
  }
  const uint8_t plain = static_cast<uint8_t>(typeByte + 128);
  if (IsFileTypeLetter(plain)) {
    typeByte = plain;
    isS3000Form = true;
    return true;
  }
  return false;
}

bool ConvertAkaiName(const uint8_t* onDisc, char (&name)[13]) {
  std::memcpy(name, onDisc, 12);
  name[12] = '\0';
  return AkaiToAscii(reinterpret_cast<uint8_t*>(name), 12, true);
}
