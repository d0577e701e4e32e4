#include <gtest/gtest.h>

#include <array>

#include "akai/DiscSignature.h"

namespace {

std::array<uint8_t, 2048> SectorWithSignature() {
  std::array<uint8_t, 2048> sector{};
  const auto signature = AkaiSignatureBytes();
  std::copy(signature.begin(), signature.end(), sector.begin() + kAkaiSignatureOffset);
  return sector;
}

TEST(DiscSignature, AcceptsUpToFourDifferingBytes) {
  auto sector = SectorWithSignature();
  EXPECT_TRUE(HasAkaiSignature(sector.data(), sector.size()));
  // Spread over the whole field, including its first and last byte.
  for (size_t i : {size_t{8}, size_t{50}, size_t{100}, size_t{135}}) sector[i] ^= 0xFF;
  EXPECT_TRUE(HasAkaiSignature(sector.data(), sector.size()));
  sector[70] ^= 0x01;
  EXPECT_FALSE(HasAkaiSignature(sector.data(), sector.size()));
}

TEST(DiscSignature, BytesOutsideTheFieldDoNotCount) {
  auto sector = SectorWithSignature();
  for (size_t i = 0; i < 8; ++i) sector[i] = 0xAA;
  for (size_t i = 136; i < 2048; ++i) sector[i] = 0x55;
  EXPECT_TRUE(HasAkaiSignature(sector.data(), sector.size()));
}

TEST(DiscSignature, RejectsEmptyAndShortSectors) {
  const std::array<uint8_t, 2048> zeros{};
  EXPECT_FALSE(HasAkaiSignature(zeros.data(), zeros.size()));
  const auto sector = SectorWithSignature();
  EXPECT_FALSE(HasAkaiSignature(sector.data(), 135));
  EXPECT_TRUE(HasAkaiSignature(sector.data(), 136));
  EXPECT_FALSE(HasAkaiSignature(nullptr, 2048));
}

}  // namespace
