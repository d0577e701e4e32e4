// Banks written by the engine, loaded and played by FluidSynth as an independent
// reader: the preset is found by name, notes inside a zone sound and notes outside
// every zone are silent, a looped zone holds while a one-shot zone runs out.

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/sfengine/EngineTestSupport.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using namespace sfenginetest;

namespace {

constexpr uint32_t kRate = 22050;
constexpr double kOutputRate = 44100;

// 0.1 s of a 441 Hz sine: 50 words per period, so a loop of whole periods is seamless.
std::vector<int16_t> Sine(std::size_t count) {
  std::vector<int16_t> words(count);
  for (std::size_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>(16000 * std::sin(2 * M_PI * i / 50.0));
  return words;
}

std::vector<std::string>& Complaints() {
  static std::vector<std::string> messages;
  return messages;
}

// Every warning and error, except the notice that the drum channel (9, bank 128) finds
// no kit: the bank holds a melodic preset only.
void RecordComplaint(int /*level*/, const char* message, void* /*data*/) {
  if (std::string(message).find("channel 9 [bank=128") == std::string::npos) Complaints().emplace_back(message);
}

// A bank "LOOPS" with two zones over one 0.1 s sine:
//   keys 48..60, velocities 1..63, looped (sampleModes 1);
//   keys 61..72, velocities 64..127, one-shot (sampleModes 0).
fs::path WriteTwoZoneBank() {
  EngineApi& api = Engine();
  SFHandle bank = 0, instrument = 0, preset = 0, sample = 0;
  EXPECT_EQ(api.CreateBank(&bank), 0);
  EXPECT_EQ(api.AddInstrument(bank, "LOOPS", 0, &instrument), 0);
  EXPECT_EQ(api.AddPreset(bank, "LOOPS", 0, 0, instrument, &preset), 0);
  const fs::path wav = testsupport::FreshFolder("fluid-wav") / "sine.wav";
  TestWav sine{Sine(kRate / 10), kRate};
  sine.loop = {{500, 1999}};
  WriteWav(wav, sine);
  EXPECT_EQ(api.ImportWavSample(wav.c_str(), bank, "SINE", &sample), 0);
  fs::remove(wav);

  struct ZoneShape {
    uint8_t lowKey, highKey, lowVelocity, highVelocity;
    uint16_t sampleModes;
  };
  for (const ZoneShape& shape : {ZoneShape{48, 60, 1, 63, 1}, ZoneShape{61, 72, 64, 127, 0}}) {
    SFHandle zone = 0;
    const SFGenRecord keys{43, static_cast<uint16_t>(shape.lowKey | shape.highKey << 8)};
    const SFGenRecord velocities{44, static_cast<uint16_t>(shape.lowVelocity | shape.highVelocity << 8)};
    const SFGenRecord modes{54, shape.sampleModes};
    const SFGenRecord rootKey{58, 60};
    EXPECT_EQ(api.AddInstrumentZone(instrument, sample, &zone), 0);
    EXPECT_EQ(api.SetZoneKeyRange(zone, &keys), 0);
    EXPECT_EQ(api.SetZoneVelocityRange(zone, &velocities), 0);
    EXPECT_EQ(api.SetZoneGenerator(zone, &rootKey), 0);
    EXPECT_EQ(api.SetZoneGenerator(zone, &modes), 0);
  }
  EXPECT_EQ(api.SetBankInfo(bank, 5, "Carvox generated Sound Bank"), 0);
  const fs::path path = testsupport::FreshFolder("fluid") / "loops.sf2";
  EXPECT_EQ(api.SaveBank(bank, path.c_str(), 0), 0);
  EXPECT_EQ(api.EndBank(bank), 0);
  EXPECT_EQ(api.ReleaseBank(bank), 0);
  return path;
}

// A synthesizer without audio driver, reverb or chorus, so that silence is exact.
class Synth {
 public:
  explicit Synth(const fs::path& bank) {
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", kOutputRate);
    fluid_settings_setint(settings_, "synth.reverb.active", 0);
    fluid_settings_setint(settings_, "synth.chorus.active", 0);
    fluid_settings_setnum(settings_, "synth.gain", 1.0);
    synth_ = new_fluid_synth(settings_);
    fontId_ = fluid_synth_sfload(synth_, bank.c_str(), 1);
  }
  ~Synth() {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
  }
  int FontId() const { return fontId_; }
  fluid_synth_t* Get() { return synth_; }

  // The loudest output sample of each slice of `slice` seconds while the note is
  // held for `seconds`.
  std::vector<float> PeaksWhilePlaying(int key, int velocity, double seconds, double slice) {
    fluid_synth_noteon(synth_, 0, key, velocity);
    std::vector<float> peaks;
    for (double done = 0; done < seconds; done += slice) {
      const std::vector<float> output = Render(slice);
      float peak = 0;
      for (float value : output) peak = std::max(peak, std::fabs(value));
      peaks.push_back(peak);
    }
    Stop();
    return peaks;
  }

  // The left channel while the note is held for `seconds`.
  std::vector<float> Record(int key, int velocity, double seconds) {
    fluid_synth_noteon(synth_, 0, key, velocity);
    std::vector<float> output = Render(seconds);
    Stop();
    return output;
  }

 private:
  std::vector<float> Render(double seconds) {
    const int frames = static_cast<int>(seconds * kOutputRate);
    std::vector<float> left(frames), right(frames);
    fluid_synth_write_float(synth_, frames, left.data(), 0, 1, right.data(), 0, 1);
    return left;
  }
  void Stop() {
    fluid_synth_all_sounds_off(synth_, 0);
    Render(0.05);  // lets the stopped voices fade before the next note
  }

  fluid_settings_t* settings_;
  fluid_synth_t* synth_;
  int fontId_;
};

class SfEngineFluidSynth : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN}) fluid_set_log_function(level, RecordComplaint, nullptr);
    for (int level : {FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
    bank_ = new fs::path(WriteTwoZoneBank());
  }
  static void TearDownTestSuite() {
    delete bank_;
    bank_ = nullptr;
  }
  static fs::path* bank_;
};
fs::path* SfEngineFluidSynth::bank_ = nullptr;

constexpr float kSounding = 0.01f;
constexpr float kSilent = 1e-5f;

TEST_F(SfEngineFluidSynth, LoadsTheBankWithoutComplaintAndFindsThePresetByName) {
  Complaints().clear();
  Synth synth(*bank_);
  ASSERT_NE(synth.FontId(), FLUID_FAILED);
  fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth.Get(), synth.FontId());
  ASSERT_NE(font, nullptr);
  fluid_preset_t* preset = fluid_sfont_get_preset(font, 0, 0);
  ASSERT_NE(preset, nullptr);
  EXPECT_STREQ(fluid_preset_get_name(preset), "LOOPS");
  EXPECT_EQ(Complaints(), std::vector<std::string>{});
}

TEST_F(SfEngineFluidSynth, NotesInsideAZoneSoundAndNotesOutsideAreSilent) {
  Synth synth(*bank_);
  ASSERT_NE(synth.FontId(), FLUID_FAILED);
  EXPECT_GT(synth.PeaksWhilePlaying(55, 40, 0.05, 0.05)[0], kSounding);   // first zone
  EXPECT_GT(synth.PeaksWhilePlaying(66, 100, 0.05, 0.05)[0], kSounding);  // second zone
  EXPECT_LT(synth.PeaksWhilePlaying(55, 100, 0.05, 0.05)[0], kSilent);    // key of one, velocity of the other
  EXPECT_LT(synth.PeaksWhilePlaying(66, 40, 0.05, 0.05)[0], kSilent);
  EXPECT_LT(synth.PeaksWhilePlaying(30, 40, 0.05, 0.05)[0], kSilent);     // below every key range
  EXPECT_LT(synth.PeaksWhilePlaying(90, 100, 0.05, 0.05)[0], kSilent);    // above every key range
}

TEST_F(SfEngineFluidSynth, LoopedZoneHoldsWhileOneShotZoneRunsOut) {
  Synth synth(*bank_);
  ASSERT_NE(synth.FontId(), FLUID_FAILED);
  // The sample lasts 0.1 s at the root key; both notes are held for 0.6 s.
  const std::vector<float> looped = synth.PeaksWhilePlaying(60, 40, 0.6, 0.1);
  const std::vector<float> oneShot = synth.PeaksWhilePlaying(61, 100, 0.6, 0.1);
  EXPECT_GT(looped.front(), kSounding);
  EXPECT_GT(looped.back(), kSounding);
  EXPECT_GT(oneShot.front(), kSounding);
  EXPECT_LT(oneShot.back(), kSilent);
}

// Upward zero crossings per second after the attack: the pitch heard.
double Frequency(const std::vector<float>& output) {
  const std::size_t from = static_cast<std::size_t>(0.05 * kOutputRate);
  int crossings = 0;
  for (std::size_t i = from + 1; i < output.size(); ++i) crossings += output[i - 1] < 0 && output[i] >= 0;
  return crossings * kOutputRate / static_cast<double>(output.size() - from);
}

TEST_F(SfEngineFluidSynth, PlaysAtTheSamplesRateAndRootKey) {
  Synth synth(*bank_);
  ASSERT_NE(synth.FontId(), FLUID_FAILED);
  // The sine is 441 Hz at its own rate; key 60 is its root, key 48 an octave below.
  EXPECT_NEAR(Frequency(synth.Record(60, 40, 0.55)), 441.0, 5.0);
  EXPECT_NEAR(Frequency(synth.Record(48, 40, 0.55)), 220.5, 5.0);
}

}  // namespace
