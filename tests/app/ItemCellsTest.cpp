// The item view's cells at their limits, and the keys it sorts and plays by.
#include <gtest/gtest.h>

#include "app/ItemFormat.h"

namespace {

TEST(ItemCells, SizesAndDurationsAtTheirLimits) {
  const std::pair<uint32_t, const char*> sizes[] = {
      {2500, "2500 Bytes"},    {10239, "10239 Bytes"}, {10240, "10.0 kB"},         {88350, "86.3 kB"},
      {524287, "512.0 kB"},    {524288, "0.50 MB"},    {1048575, "1.00 MB"},       {1048576, "1.0 MB"},
      {16777215, "16.0 MB"}};
  for (const auto& [bytes, text] : sizes) EXPECT_EQ(FormatSize(bytes), text) << bytes;
  const std::pair<uint64_t, const char*> durations[] = {
      {0, " 0.000s"}, {999, " 0.999s"}, {2003, " 2.003s"}, {61005, "01m:01.005s"}, {3723004, "01h:02m:03.004s"}};
  for (const auto& [ms, text] : durations) EXPECT_EQ(FormatDuration(ms), text) << ms;
}

// The length divides the byte length by the rate in kHz; a rate of 0 has none, and the
// longest file at the lowest rate still fits the key.
TEST(ItemCells, LengthKeysNeitherDivideByZeroNorOverflow) {
  EXPECT_EQ(LengthKey(88350, 44100), 2003u);
  EXPECT_EQ(LengthKey(2500, 0), 0u);
  EXPECT_EQ(LengthKey(16777215, 1), 16777215000u);
  EXPECT_EQ(FormatDuration(LengthKey(16777215, 1)), "4660h:20m:15.000s");
}

TEST(ItemCells, LoopedPlayRepeatsTheWholeSampleWhenNoLoopLiesInside) {
  AkaiSample sample;
  sample.sampleCount = 1000;
  EXPECT_EQ(LoopForPlay(sample).start, 0u);
  EXPECT_EQ(LoopForPlay(sample).length, 1000u);
  sample.loops[0] = {.end = 800, .fine = 0, .length = 200, .time = 1};
  EXPECT_EQ(LoopForPlay(sample).start, 600u);
  EXPECT_EQ(LoopForPlay(sample).length, 200u);
  sample.loops[0].end = 5000;  // past the data: the whole sample loops
  EXPECT_EQ(LoopForPlay(sample).length, 1000u);
}

}  // namespace
