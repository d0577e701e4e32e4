// Banks built with the real engine, checked by independent readers: FluidSynth plays
// them, the generators are read back from the file's own instrument records, and a
// bank the export batch builds from its WAV files is compared with one built from the
// disc alone.
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include "export/SoundBankBuilder.h"
#include "platform/machine/Machine.h"
#include "tests/export/FilesWritten.h"
#include "tests/export/TestDisc.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/SoundFontZones.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using testexport::DiscContents;
using testexport::MakeKeygroup;
using testexport::MakeSample;
using testexport::ToneWords;

namespace {

constexpr int kRate = 44100;

// A synthesizer (44100 Hz unless told) without reverb or chorus, with one bank loaded.
class Synth {
 public:
  explicit Synth(const fs::path& bank, int rate = kRate) {
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);  // no drum preset: expected
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", rate);
    fluid_settings_setint(settings_.get(), "synth.reverb.active", 0);
    fluid_settings_setint(settings_.get(), "synth.chorus.active", 0);
    synth_.reset(new_fluid_synth(settings_.get()));
    fontId_ = fluid_synth_sfload(synth_.get(), bank.c_str(), 1);
  }

  bool loaded() const { return fontId_ != FLUID_FAILED; }
  fluid_sfont_t* font() { return fluid_synth_get_sfont_by_id(synth_.get(), fontId_); }

  // Holds `key` at `velocity` and returns `frames` frames of the left channel.
  std::vector<float> Play(int key, int velocity, int frames) {
    fluid_synth_noteon(synth_.get(), 0, key, velocity);
    std::vector<float> left(frames), right(frames);
    fluid_synth_write_float(synth_.get(), frames, left.data(), 0, 1, right.data(), 0, 1);
    fluid_synth_noteoff(synth_.get(), 0, key);
    return left;
  }

 private:
  std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)> settings_{new_fluid_settings(),
                                                                                delete_fluid_settings};
  std::unique_ptr<fluid_synth_t, decltype(&delete_fluid_synth)> synth_{nullptr, delete_fluid_synth};
  int fontId_ = FLUID_FAILED;
};

double Rms(const std::vector<float>& audio, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double{audio[i]} * audio[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// The best normalised correlation of `audio` with `words` over small delays.
double BestCorrelation(const std::vector<float>& audio, const std::vector<int16_t>& words,
                       size_t length) {
  double best = 0;
  for (size_t lag = 0; lag < 64; ++lag) {
    double dot = 0, a2 = 0, w2 = 0;
    for (size_t i = 0; i < length; ++i) {
      const double a = audio[i + lag], w = words[i];
      dot += a * w;
      a2 += a * a;
      w2 += w * w;
    }
    if (a2 > 0) best = std::max(best, dot / std::sqrt(a2 * w2));
  }
  return best;
}

class BankPlaybackTest : public testing::Test {
 protected:
  BankPlaybackTest() : folder_(testsupport::FreshFolder("playback")) {
    builder_.LoadEngine();
  }

  fs::path Build(const DiscContents& contents) {
    testexport::WriteProgramDisc(folder_ / "disc.img", contents);
    disc_ = std::make_unique<testexport::OpenDisc>(folder_ / "disc.img");
    const fs::path bank = folder_ / "bank.sf2";
    EXPECT_EQ(builder_.BuildSoundBank(disc_->reader(), 0, 0, contents.program.name.c_str(), bank, nullptr), 1);
    EXPECT_TRUE(prompt_.texts().empty()) << prompt_.texts()[0];
    return bank;
  }

  fs::path folder_;
  testsupport::ScriptedPrompt prompt_;
  SoundBankBuilder builder_;
  std::unique_ptr<testexport::OpenDisc> disc_;
};

TEST(SoundBankEngineLoading, EngineIsFoundBesideTheProgram) {
  testsupport::ScriptedPrompt prompt;
  SoundBankBuilder builder;
  builder.LoadEngine();
  EXPECT_EQ(builder.IsEngineRunning(), 1);
  EXPECT_TRUE(prompt.texts().empty());
}

// Keys 36..59 at velocities 0..63 play SOFT; keys 60..83 play LOUD at any velocity.
DiscContents RangesDisc() {
  DiscContents disc;
  disc.program.name = "RANGES";
  disc.program.keygroups.push_back(MakeKeygroup(36, 59, {"SOFT"}));
  disc.program.keygroups[0].zones[0].highVelocity = 63;
  disc.program.keygroups.push_back(MakeKeygroup(60, 83, {"LOUD"}));
  disc.samples.push_back(MakeSample("SOFT", ToneWords(kRate, 1), 2000));
  disc.samples.push_back(MakeSample("LOUD", ToneWords(kRate, 2), 2000));
  return disc;
}

TEST_F(BankPlaybackTest, PresetCarriesTheProgramName) {
  Synth synth(Build(RangesDisc()));
  ASSERT_TRUE(synth.loaded());
  fluid_preset_t* preset = fluid_sfont_get_preset(synth.font(), 0, 0);
  ASSERT_NE(preset, nullptr);
  EXPECT_STREQ(fluid_preset_get_name(preset), "RANGES");
}

TEST_F(BankPlaybackTest, OnlyNotesInsideAKeyAndVelocityRangeSound) {
  const fs::path bank = Build(RangesDisc());
  const auto loudness = [&](int key, int velocity) {
    Synth synth(bank);  // a fresh synthesizer: nothing left sounding from before
    return Rms(synth.Play(key, velocity, 4096), 0, 4096);
  };
  EXPECT_GT(loudness(40, 50), 1e-3) << "inside keygroup 1 and its zone";
  EXPECT_GT(loudness(70, 120), 1e-3) << "inside keygroup 2";
  EXPECT_LT(loudness(40, 100), 1e-6) << "key inside, velocity outside";
  EXPECT_LT(loudness(20, 50), 1e-6) << "below every keygroup";
  EXPECT_LT(loudness(90, 50), 1e-6) << "above every keygroup";
}

TEST_F(BankPlaybackTest, LoopedZoneOutlastsItsSampleAndOneShotDoesNot) {
  DiscContents disc;
  disc.program.name = "LOOPS";
  disc.program.keygroups.push_back(MakeKeygroup(0, 63, {"LOOPED"}));
  disc.program.keygroups.push_back(MakeKeygroup(64, 127, {"ONESHOT"}));
  disc.samples.push_back(MakeSample("LOOPED", ToneWords(4410, 3), 1000));
  disc.samples.push_back(MakeSample("ONESHOT", ToneWords(4410, 4)));
  const fs::path bank = Build(disc);
  // Played at the root key the 0.1 s samples end long before 0.4 s.
  const int frames = kRate / 2;
  {
    Synth synth(bank);
    const auto audio = synth.Play(60, 127, frames);
    EXPECT_GT(Rms(audio, 0, 2000), 0.01);
    EXPECT_GT(Rms(audio, frames - 4410, frames), 0.01) << "the loop keeps it sounding";
  }
  {
    // Key 72 in the one-shot keygroup: an octave up, so it ends even sooner.
    Synth synth(bank);
    const auto audio = synth.Play(72, 127, frames);
    EXPECT_GT(Rms(audio, 0, 2000), 0.01);
    EXPECT_LT(Rms(audio, frames - 4410, frames), 1e-6) << "the sample has ended";
  }
}

TEST_F(BankPlaybackTest, RootKeyOfAnUntunedZonePlaysTheSampleAsItIs) {
  DiscContents disc = RangesDisc();
  const fs::path bank = Build(disc);
  Synth synth(bank);
  const auto audio = synth.Play(60, 127, 8192);
  const std::vector<int16_t>& loud = disc.samples[1].words;
  const std::vector<int16_t>& soft = disc.samples[0].words;
  EXPECT_GT(BestCorrelation(audio, loud, 4096), 0.95) << "the right sample at the right pitch";
  EXPECT_LT(BestCorrelation(audio, soft, 4096), 0.5) << "not the other sample";
  // One semitone up is another pitch and no longer matches the sample's words.
  Synth other(bank);
  EXPECT_LT(BestCorrelation(other.Play(61, 127, 8192), loud, 4096), 0.5);
}

// A 32000 Hz sample (nominal 44100) rendered at 32000 Hz: at its root key the words
// come out as they are, neither resampled nor shifted in pitch.
TEST_F(BankPlaybackTest, SampleOffItsNominalRateKeepsItsPitch) {
  constexpr int kOffRate = 32000;
  DiscContents disc = RangesDisc();
  disc.samples[1] = MakeSample("LOUD", ToneWords(kOffRate, 2), 2000);
  disc.samples[1].sampleRate = kOffRate;
  const fs::path bank = Build(disc);
  Synth synth(bank, kOffRate);
  EXPECT_GT(BestCorrelation(synth.Play(60, 127, 8192), disc.samples[1].words, 4096), 0.95);
}

TEST_F(BankPlaybackTest, GeneratorsInTheFileMatchTheZoneFormulas) {
  DiscContents disc = RangesDisc();
  disc.program.lfoDepth = 10;
  disc.program.keygroups[0].ampEnvelope = {10, 60, 50, 70};
  disc.program.keygroups[0].envelope2 = {20, 30, 40, 50};
  disc.program.keygroups[0].filter = 60;
  disc.program.keygroups[0].semitoneTune = 2;
  disc.program.keygroups[0].zones[0].pan = -20;
  disc.program.keygroups[0].zones[0].filter = -10;
  disc.program.keygroups[1].zones[0].keyTracking = 1;
  disc.program.keygroups[1].zones[0].loopMode = 2;
  disc.samples[1].sampleRate = 32000;
  disc.samples[1].originalKey = 67;
  const fs::path bank = Build(disc);

  const auto zones = testsupport::ReadSoundFontZones(bank);
  ASSERT_EQ(zones.size(), 2u);
  AkaiVolumeReader& reader = disc_->reader();
  reader.LoadProgram(0, 0, "RANGES");
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const AkaiKeygroup& keygroup = *reader.program().keygroups.At(k);
    reader.LoadSample(0, 0, keygroup.zones[0].sampleName, false);
    const std::map<uint16_t, uint16_t>& zone = zones[k].generators;
    EXPECT_EQ(zone.at(43), keygroup.lowKey() | keygroup.highKey() << 8);
    EXPECT_EQ(zone.at(44), keygroup.zones[0].lowVelocity | keygroup.zones[0].highVelocity << 8);
    EXPECT_EQ(zone.count(53), 1u) << "the zone names its sample";
    for (const SFGenRecord& g : ZoneGeneratorsFor(reader.program(), keygroup, 0, reader.sample())) {
      ASSERT_EQ(zone.count(g.id), 1u) << "generator " << g.id;
      EXPECT_EQ(zone.at(g.id), g.amount) << "generator " << g.id;
    }
  }
  EXPECT_EQ(zones[0].Signed(17), -200);
  EXPECT_EQ(zones[0].Signed(8), 6818);
  EXPECT_EQ(zones[1].Signed(58), 67);
  EXPECT_EQ(zones[1].Signed(54), 0);
  EXPECT_EQ(zones[1].Signed(56), 0);
  EXPECT_EQ(zones[1].Signed(51), 0) << "no rate correction for the 32000 Hz sample";
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A bank takes its words from the WAV files the batch has just written for its samples
// (the program is listed first, as a directory may list it). Whatever becomes of such a
// file before the bank is built, the bank holds the disc's words: its bytes are those
// of the bank built from the disc alone.
TEST_F(BankPlaybackTest, ABankFromTheExportedFilesIsTheBankFromTheDisc) {
  DiscContents contents = RangesDisc();
  contents.samples[1] = MakeSample("LOUD", ToneWords(kRate / 2, 2), 2000);  // a file of another size
  testexport::WriteProgramDisc(folder_ / "disc.img", contents);
  testexport::OpenDisc disc(folder_ / "disc.img");
  ExportDisc source(disc.reader());
  const ExportItem program{.name = "RANGES", .program = true};
  using Hook = std::function<void(const fs::path&)>;
  const auto exportInto = [&](const fs::path& folder, std::vector<ExportItem> items, bool noClobber, Hook wrote) {
    testexport::FilesWritten report([](SoundBankBuilder& builder) { builder.LoadEngine(); });
    report.wrote = std::move(wrote);
    ExportBatch(source, report, {.formats = ParseExportFormats("sf2"), .noClobber = noClobber})
        .Export({{0, 0, "A/VOLUME", folder, std::move(items)}});
    EXPECT_TRUE(report.notWritten.empty()) << report.notWritten.front();
    return FileBytes(folder / "ranges.sf2");
  };
  const std::string fromTheDisc = exportInto(folder_ / "program alone", {program}, false, nullptr);
  ASSERT_FALSE(fromTheDisc.empty());

  const auto onWriting = [](const char* file, Hook then) {
    return [=](const fs::path& path) { if (path.filename() == file) then(path.parent_path()); };
  };
  // The bank builder's own copy cannot be made while a folder stands in its way.
  const fs::path temporaryWav = platform::ToHostPath("C:\\WINDOWS\\temp\\~sfytemp.wav");
  const struct {
    const char* name;
    Hook wrote;
    bool noClobber = false;
    bool temporaryWavBlocked = false;
  } cases[] = {
      {.name = "as written", .wrote = nullptr, .temporaryWavBlocked = true},
      {"removed", onWriting("soft.wav", [](const fs::path& dir) { fs::remove(dir / "soft.wav"); })},
      {"replaced by the other sample", onWriting("loud.wav", [](const fs::path& dir) {
         fs::copy_file(dir / "loud.wav", dir / "soft.wav", fs::copy_options::overwrite_existing);
       })},
      {"its words changed in place, its time set back", onWriting("soft.wav", [](const fs::path& dir) {
         const fs::file_time_type written = fs::last_write_time(dir / "soft.wav");
         std::fstream(dir / "soft.wav", std::ios::in | std::ios::out | std::ios::binary).seekp(100).put('\x55');  // a word of its data
         fs::last_write_time(dir / "soft.wav", written);
       })},
      {.name = "another file kept in its place", .wrote = nullptr, .noClobber = true},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    const fs::path folder = folder_ / each.name;
    if (each.noClobber) {
      fs::create_directories(folder);
      fs::copy_file(folder_ / "as written" / "loud.wav", folder / "soft.wav");
    }
    if (each.temporaryWavBlocked) fs::create_directories(temporaryWav / "blocker");
    const std::vector<ExportItem> items{program, {.name = "SOFT"}, {.name = "LOUD"}};
    EXPECT_EQ(exportInto(folder, items, each.noClobber, each.wrote), fromTheDisc);
    fs::remove_all(temporaryWav);
  }
}

}  // namespace
