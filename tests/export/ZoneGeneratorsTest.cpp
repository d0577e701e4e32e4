// The zone generators and the AKAI-to-SoundFont value conversions behind them.
#include <gtest/gtest.h>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"
#include "export/SoundBankBuilder.h"

namespace {

TEST(SoundBankConversions, AttackTimeCentsSpansTheAkaiRange) {
  EXPECT_EQ(AttackTimeCents(0), -10906);
  EXPECT_EQ(AttackTimeCents(50), -3635);
  EXPECT_EQ(AttackTimeCents(99), 3490);
}

TEST(SoundBankConversions, DecayTimeCentsSpansTheAkaiRange) {
  EXPECT_EQ(DecayTimeCents(0), -9469);
  EXPECT_EQ(DecayTimeCents(50), -1921);
  EXPECT_EQ(DecayTimeCents(99), 5475);
}

TEST(SoundBankConversions, KeyScaledDecayKeepsTheSignAndVanishesForSmallValues) {
  EXPECT_EQ(KeyScaledDecay(0), 0);
  EXPECT_EQ(KeyScaledDecay(10), 0);
  EXPECT_EQ(KeyScaledDecay(-10), 0);
  EXPECT_EQ(KeyScaledDecay(50), 16);
  EXPECT_EQ(KeyScaledDecay(-50), -16);
}

TEST(SoundBankConversions, SustainLevelBecomesAttenuation) {
  EXPECT_EQ(SustainAttenuation(0), 1440);
  EXPECT_EQ(SustainAttenuation(50), 712);
  EXPECT_EQ(SustainAttenuation(99), 0);
}

TEST(SoundBankConversions, FilterSumIsClampedBeforeScaling) {
  EXPECT_EQ(FilterCutoffCents(90, 20), 13500);
  EXPECT_EQ(FilterCutoffCents(10, -30), 0);
  EXPECT_EQ(FilterCutoffCents(50, 0), 6818);
}

class ZoneGeneratorsTest : public testing::Test {
 protected:
  ZoneGeneratorsTest() {
    uint8_t* kg = keygroup_.keygroupBytes;
    kg[2] = 0;    // keygroup cents
    kg[3] = 1;    // keygroup semitones
    kg[4] = 90;   // filter (byte 7)
    kg[8] = static_cast<uint8_t>(-2);  // envelope 2 to filter (byte 11)
    kg[9] = 0;    // attack
    kg[10] = 50;  // decay
    kg[11] = 50;  // sustain
    kg[12] = 99;  // release
    kg[16] = static_cast<uint8_t>(-50);  // key scaling (byte 19)
    kg[17] = 99;  // envelope 2 attack
    kg[18] = 0;   // decay
    kg[19] = 0;   // sustain
    kg[20] = 50;  // release
    kg[24] = 50;  // envelope 2 key scaling (byte 27)
    kg[26] = 3;   // envelope 2 to pitch (byte 29)
    keygroup_.zoneCount = 2;
    keygroup_.zones[1].rawBytes[1] = 20;  // zone filter offset
    keygroup_.zones[1].pan = -5;
    keygroup_.zones[1].keyTracking = 1;
    keygroup_.zones[1].semitoneTune = 2;
    program_.header15to41[33 - 15] = 50;  // LFO speed
    program_.header15to41[34 - 15] = 10;  // LFO depth
    program_.header15to41[35 - 15] = 99;  // LFO delay
    sample_.originalKey = 48;
    sample_.sampleCount = 1000;
    sample_.sampleRate = 44100;
    sample_.rateFlag = 1;
  }

  void GiveSampleALoop() {
    sample_.loops[0].end = 961;
    sample_.loops[0].length = 200;
    sample_.loops[0].time = 1;
  }

  int Amount(const SoundBankBuilder::ZoneGenerators& generators, uint16_t id) {
    for (const SFGenRecord& g : generators) {
      if (g.id == id) return static_cast<int16_t>(g.amount);
    }
    ADD_FAILURE() << "no generator " << id;
    return 0;
  }

  AkaiProgram program_;
  AkaiKeygroup keygroup_;
  AkaiSample sample_;
};

TEST_F(ZoneGeneratorsTest, WrittenInTheFixedOrder) {
  const auto generators = ZoneGeneratorsFor(program_, keygroup_, 0, sample_);
  std::vector<uint16_t> ids;
  for (const SFGenRecord& g : generators) ids.push_back(g.id);
  EXPECT_EQ(ids, (std::vector<uint16_t>{58, 54, 34, 36, 37, 38, 17, 51, 52, 40, 56, 13, 21, 22,
                                        26, 28, 29, 30, 32, 8, 11, 7}));
}

TEST_F(ZoneGeneratorsTest, ValuesComeFromTheirBytes) {
  const auto g = ZoneGeneratorsFor(program_, keygroup_, 1, sample_);
  EXPECT_EQ(Amount(g, 58), 48);
  EXPECT_EQ(Amount(g, 34), -10906);
  EXPECT_EQ(Amount(g, 36), -1921);
  EXPECT_EQ(Amount(g, 37), 712);
  EXPECT_EQ(Amount(g, 38), 5475);
  EXPECT_EQ(Amount(g, 17), -50);
  EXPECT_EQ(Amount(g, 51), 3);  // zone 2 + keygroup 1 semitones
  EXPECT_EQ(Amount(g, 52), 0);
  EXPECT_EQ(Amount(g, 40), -16);
  EXPECT_EQ(Amount(g, 56), 0);  // constant pitch
  EXPECT_EQ(Amount(g, 13), 96);
  EXPECT_EQ(Amount(g, 21), 3490);
  EXPECT_EQ(Amount(g, 22), -1921);
  EXPECT_EQ(Amount(g, 26), 3490);
  EXPECT_EQ(Amount(g, 28), -9469);
  EXPECT_EQ(Amount(g, 29), 1440);
  EXPECT_EQ(Amount(g, 30), -1921);
  EXPECT_EQ(Amount(g, 32), 16);
  EXPECT_EQ(Amount(g, 8), 13500);  // 90 + 20 clamped to 99
  EXPECT_EQ(Amount(g, 11), -480);
  EXPECT_EQ(Amount(g, 7), 720);
}

TEST_F(ZoneGeneratorsTest, KeyTrackingZoneGetsFullScaleTuning) {
  EXPECT_EQ(Amount(ZoneGeneratorsFor(program_, keygroup_, 0, sample_), 56), 100);
}

// The bank's sample keeps its own rate, so a rate off the nominal one (32000 against
// 44100) adds no tuning: a correction would sound 5 semitones 55 cents sharp.
TEST_F(ZoneGeneratorsTest, TuningTakesNoRateCorrection) {
  sample_.sampleRate = 32000;
  sample_.rateFlag = 1;
  keygroup_.keygroupBytes[3] = 0;
  const auto g = ZoneGeneratorsFor(program_, keygroup_, 0, sample_);
  EXPECT_EQ(Amount(g, 51), 0);
  EXPECT_EQ(Amount(g, 52), 0);
}

// fineTune must stay within -99..99 (players clamp it): whole semitones of the summed
// cents move into coarseTune and the pitch stays what the three levels add up to.
TEST_F(ZoneGeneratorsTest, FineTuneCarriesWholeSemitonesIntoCoarseTune) {
  const struct {
    int8_t zoneCents, keygroupSemitones, keygroupCents, sampleCents;
    int coarse, fine;
  } cases[] = {
      {127, 1, static_cast<int8_t>(0xE0), 127, 2, 86},  // 49 + 88 + 49 cents over 1 semitone
      {-127, 0, -127, -127, -1, -47},                   // -147 cents
      {127, 0, 127, 127, 1, 47},                        // 147 cents
      {20, 0, 30, 0, 0, 18},                            // in range: left alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.zoneCents) << " " << int(c.keygroupCents) << " " << int(c.sampleCents));
    keygroup_.zones[0].centsTune = c.zoneCents;
    keygroup_.keygroupBytes[2] = static_cast<uint8_t>(c.keygroupCents);
    keygroup_.keygroupBytes[3] = static_cast<uint8_t>(c.keygroupSemitones);
    sample_.centsTune = c.sampleCents;
    const auto g = ZoneGeneratorsFor(program_, keygroup_, 0, sample_);
    EXPECT_EQ(Amount(g, 51), c.coarse);
    EXPECT_EQ(Amount(g, 52), c.fine);
    const ZoneTuning sum = ComputeZoneTuning(0, c.zoneCents, c.keygroupSemitones, c.keygroupCents, 0,
                                             c.sampleCents, 0, 0);
    EXPECT_EQ(100 * Amount(g, 51) + Amount(g, 52), 100 * sum.coarse + sum.fine) << "the pitch stays";
  }
}

TEST_F(ZoneGeneratorsTest, SampleLoopsOnlyInZoneModesZeroAndOne) {
  EXPECT_EQ(Amount(ZoneGeneratorsFor(program_, keygroup_, 0, sample_), 54), 0) << "no loop";
  GiveSampleALoop();
  for (uint8_t mode = 0; mode <= 4; ++mode) {
    keygroup_.zones[0].loopMode = mode;
    EXPECT_EQ(Amount(ZoneGeneratorsFor(program_, keygroup_, 0, sample_), 54), mode <= 1 ? 1 : 0)
        << "mode " << int(mode);
  }
}

// A loop that reaches past the sample's last word is not written to the WAV the
// engine imports, so the zone must not loop either (it would loop the whole sample).
TEST_F(ZoneGeneratorsTest, LoopPastTheSampleEndDoesNotLoop) {
  GiveSampleALoop();
  sample_.sampleCount = 900;  // the loop runs from 761 to 960
  EXPECT_EQ(Amount(ZoneGeneratorsFor(program_, keygroup_, 0, sample_), 54), 0);
}

}  // namespace
