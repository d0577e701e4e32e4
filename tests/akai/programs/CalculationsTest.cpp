// FindPlayLoop and ComputeZoneTuning: the loop and tuning that playback and both
// exports take from a sample and a zone.

#include <gtest/gtest.h>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"

namespace {

AkaiSample SampleWithLoops(uint32_t sampleCount, std::initializer_list<AkaiLoop> loops) {
  AkaiSample sample;
  sample.sampleCount = sampleCount;
  sample.endMarker = sampleCount - 1;
  int k = 0;
  for (const AkaiLoop& loop : loops) sample.loops[k++] = loop;
  return sample;
}

void ExpectLoop(const PlayLoop& loop, uint32_t start, uint32_t length) {
  EXPECT_EQ(loop.start, start);
  EXPECT_EQ(loop.length, length);
}

TEST(FindPlayLoop, ReturnsStartAndLengthOfTheLoop) {
  // loopAt 1000, length 200: the decoded end is 961.
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{961, 0, 200, 1}})), 761, 200);
}

TEST(FindPlayLoop, NoLoopOrOnlyUnplayedLoopsGiveZero) {
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {})), 0, 0);
  // A loop with time 0 is never played, even when it is the only one.
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{961, 0, 200, 0}})), 0, 0);
}

TEST(FindPlayLoop, EarliestStartingLoopWins) {
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{600, 0, 100, 5}, {400, 0, 100, 5}})), 300, 100);
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{400, 0, 100, 5}, {600, 0, 100, 5}})), 300, 100);
}

TEST(FindPlayLoop, SearchStopsAtTheFirstEmptyEntry) {
  // The loop after the empty entry would start earlier but is never looked at.
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{900, 0, 100, 1}, {}, {200, 0, 100, 1}})), 800,
             100);
}

TEST(FindPlayLoop, FirstEntryStartingThereIsReturnedWhateverItsTime) {
  // Entry 1 (time set) starts at 300; entry 0 (time 0) also starts at 300 and is the
  // one returned, with its own length.
  ExpectLoop(FindPlayLoop(SampleWithLoops(2000, {{500, 0, 200, 0}, {400, 0, 100, 7}})), 300, 200);
}

TEST(FindPlayLoop, LoopsStartingPastTheSampleAreNotUsed) {
  // A start above sampleCount, and a length above the end (which wraps to a huge start).
  ExpectLoop(FindPlayLoop(SampleWithLoops(100, {{300, 0, 100, 1}})), 0, 0);
  ExpectLoop(FindPlayLoop(SampleWithLoops(100, {{50, 0, 60, 1}})), 0, 0);
  // A start exactly at sampleCount is still taken (the limit is sampleCount + 1).
  ExpectLoop(FindPlayLoop(SampleWithLoops(100, {{150, 0, 50, 1}})), 100, 50);
}

ZoneTuning Tune(int8_t zoneSemis, int8_t zoneCents, uint32_t nominal = 0, uint32_t rate = 0) {
  return ComputeZoneTuning(zoneSemis, zoneCents, 0, 0, 0, 0, nominal, rate);
}

TEST(ComputeZoneTuning, RateDifferenceBecomesCoarseAndFine) {
  const ZoneTuning t = Tune(0, 0, 44100, 32000);
  EXPECT_EQ(t.coarse, 5);
  EXPECT_EQ(t.fine, 55);
  const ZoneTuning octave = Tune(0, 0, 44100, 22050);
  EXPECT_EQ(octave.coarse, 12);
  EXPECT_EQ(octave.fine, 0);
  const ZoneTuning higher = Tune(0, 0, 44100, 48000);  // h = 1.4669...
  EXPECT_EQ(higher.coarse, -1);
  EXPECT_EQ(higher.fine, -46);
}

TEST(ComputeZoneTuning, ZeroRatesLeaveThePitchAlone) {
  EXPECT_EQ(Tune(0, 0, 44100, 0).coarse, 0);
  EXPECT_EQ(Tune(0, 0, 0, 32000).coarse, 0);
  EXPECT_EQ(Tune(0, 0, 44100, 44100).fine, 0);
}

TEST(ComputeZoneTuning, CentsByteIsUnsignedWhenItsLevelHasSemitones) {
  const auto f6 = static_cast<int8_t>(0xF6);
  EXPECT_EQ(Tune(1, f6).fine, 96);  // 246 * k = 96.85
  EXPECT_EQ(Tune(1, f6).coarse, 1);
  EXPECT_EQ(Tune(0, f6).fine, -3);  // -10 * k = -3.937, truncated toward zero
}

TEST(ComputeZoneTuning, EachLevelTakesItsOwnSemitonesForTheCentsRule) {
  const auto f6 = static_cast<int8_t>(0xF6);
  // Keygroup cents with keygroup semitones, sample cents without sample semitones.
  ZoneTuning t = ComputeZoneTuning(0, 0, 2, f6, 0, f6, 22050, 22050);
  EXPECT_EQ(t.coarse, 2);
  EXPECT_EQ(t.fine, 96 - 3);
  // Zone semitones do not make the keygroup's cents unsigned; sample semitones -1
  // make the sample's 0x80 count as 128 (50 cents), not -128.
  t = ComputeZoneTuning(3, 0, 0, f6, -1, static_cast<int8_t>(0x80), 22050, 22050);
  EXPECT_EQ(t.coarse, 2);
  EXPECT_EQ(t.fine, -3 + 50);
}

TEST(ComputeZoneTuning, FactorIsTheExactConstant) {
  // With the double 0x3FD93264C993264C, 127 and 254 land just below 50 and 100;
  // the next double up (100.0 / 254) would give 50 and 100.
  EXPECT_EQ(Tune(0, 127).fine, 49);
  EXPECT_EQ(Tune(0, -127).fine, -49);
  EXPECT_EQ(Tune(1, static_cast<int8_t>(254)).fine, 99);
}

}  // namespace
