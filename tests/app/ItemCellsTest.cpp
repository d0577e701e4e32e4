// The item view's cells at their limits, and the keys it sorts and plays by.
#include <gtest/gtest.h>

#include "app/internal/ItemFormat.h"

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

// A sample lasts its frames divided by its rate, to the nearest millisecond (a frame is
// one 2-byte word, so the file's byte length would double it): the demo disc's SAW C3
// lasts 0.601 s as its WAV file does. A rate of 0 has no length, and the longest sample
// at the lowest rate still fits the key.
TEST(ItemCells, LengthIsFramesOverRate) {
  const struct {
    uint32_t frames, rate;
    const char* cell;
  } cases[] = {{26490, 44100, " 0.601s"}, {44100, 44100, " 1.000s"}, {1000, 22050, " 0.045s"},
               {2500, 0, " 0.000s"},     {16777215, 1, "4660h:20m:15.000s"}};
  for (const auto& c : cases) {
    VolumeItem item;
    item.rate = c.rate;
    item.frames = c.frames;
    EXPECT_EQ(FormatDuration(item.LengthMs()), c.cell) << c.frames << " at " << c.rate;
  }
}

TEST(ItemCells, KeysAreNamedAsTheSamplerShowsThem) {
  const std::pair<uint8_t, const char*> keys[] = {
      {60, "C3 (60)"}, {61, "C#3 (61)"}, {0, "C-2 (0)"}, {23, "B-1 (23)"}, {127, "G8 (127)"}};
  for (const auto& [key, text] : keys) EXPECT_EQ(FormatKey(key), text) << int{key};
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
