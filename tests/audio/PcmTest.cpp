#include "audio/Pcm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int16_t> Normalized(std::vector<int16_t> words) {
  NormalizePeak(words.data(), static_cast<uint32_t>(words.size()));
  return words;
}

}  // namespace

TEST(PcmFormat, IsTheEighteenByteRecordOfSixteenBitMonoAtTheRate) {
  const PcmFormat format = PcmFormatForRate(32000);
  const uint8_t expected[18] = {1, 0, 1, 0, 0x00, 0x7D, 0, 0, 0x00, 0xFA, 0, 0, 2, 0, 16, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&format, expected, sizeof expected), 0);
}

TEST(NormalizePeak, ScalesThePeakToFullScaleTruncatingTowardZero) {
  EXPECT_EQ(Normalized({1000, -2000, 500}), (std::vector<int16_t>{16383, -32767, 8191}));
  // -32768 counts as a peak of 32768: the factor is just below 1, nothing overflows.
  EXPECT_EQ(Normalized({-32768, 16384}), (std::vector<int16_t>{-32767, 16383}));
  // A positive peak becomes exactly 32767.
  EXPECT_EQ(Normalized({3, -1}), (std::vector<int16_t>{32767, -10922}));
}

TEST(NormalizePeak, LeavesSilenceEmptyDataAndFullScaleDataAlone) {
  EXPECT_EQ(Normalized({0, 0, 0}), (std::vector<int16_t>{0, 0, 0}));
  EXPECT_EQ(Normalized({}), std::vector<int16_t>{});
  EXPECT_EQ(Normalized({32767, -5, 1234, -32767}), (std::vector<int16_t>{32767, -5, 1234, -32767}));
}
