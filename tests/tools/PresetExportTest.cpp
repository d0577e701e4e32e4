// Programs exported as SoundFont banks, SFZ and Decent Sampler presets agree zone for
// zone: the presets are read by strict readers (tests/support/PresetReaders.h), the
// SFZ files also by Polyphone, which turns them into banks of its own; every reading is
// compared with the bank's own records, over the demo disc and the reference images.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/PresetReaders.h"
#include "tests/support/SoundFontZones.h"
#include "tests/tools/CliTestSupport.h"
#include "tools/cli/ExportCommand.h"

namespace {

namespace fs = std::filesystem;
using testsupport::PresetZoneValues;
using testsupport::SoundFontZone;

// What a bank zone means in the presets' units, worked out from SoundFont 2.04's own
// definitions of the generators (defaults where the zone has none).
PresetZoneValues BankValues(const SoundFontZone& zone) {
  PresetZoneValues values;
  values.lowKey = zone.Low(43);
  values.highKey = zone.High(43);
  values.lowVelocity = std::max(zone.Low(44), 1);  // velocity 0 is a note-off
  values.highVelocity = zone.High(44);
  values.rootKey = zone.Signed(58, -1) >= 0 ? zone.Signed(58) : zone.sample.originalPitch;
  values.tuningCents = 100 * zone.Signed(51) + zone.Signed(52) + zone.sample.pitchCorrection;
  values.followsKeys = zone.Signed(56, 100) != 0;
  values.looped = (zone.Signed(54) & 1) != 0;
  if (values.looped) {
    values.loopStart = zone.sample.loopStart + zone.Signed(45);
    values.loopEnd = zone.sample.loopEnd + zone.Signed(50) - 1;
  }
  values.attack = std::exp2(zone.Signed(34, -12000) / 1200.0);
  values.decay = std::exp2(zone.Signed(36, -12000) / 1200.0);
  values.sustain = std::pow(10.0, -zone.Signed(37) / 200.0);
  values.release = std::exp2(zone.Signed(38, -12000) / 1200.0);
  values.pan = zone.Signed(17) / 5.0;
  const int cutoff = zone.Signed(8, 13500);
  values.cutoffHertz = cutoff >= 13500 ? 0 : 8.176 * std::exp2(cutoff / 1200.0);
  values.volumeDecibels = -zone.Signed(48) / 10.0;
  return values;
}

// The two readings agree within what rounding to whole SoundFont units leaves.
void ExpectSameZone(const PresetZoneValues& bank, const PresetZoneValues& read) {
  const auto timeCents = [](double a, double b) { return std::abs(1200 * std::log2(a / b)); };
  EXPECT_EQ(bank.lowKey, read.lowKey);
  EXPECT_EQ(bank.highKey, read.highKey);
  EXPECT_EQ(bank.lowVelocity, read.lowVelocity);
  EXPECT_EQ(bank.highVelocity, read.highVelocity);
  EXPECT_EQ(bank.rootKey, read.rootKey);
  EXPECT_NEAR(bank.tuningCents, read.tuningCents, 0.01);
  EXPECT_EQ(bank.followsKeys, read.followsKeys);
  EXPECT_EQ(bank.looped, read.looped);
  if (bank.looped) {
    EXPECT_EQ(bank.loopStart, read.loopStart);
    EXPECT_EQ(bank.loopEnd, read.loopEnd);
  }
  EXPECT_LE(timeCents(bank.attack, read.attack), 2) << bank.attack << " " << read.attack;
  EXPECT_LE(timeCents(bank.decay, read.decay), 2) << bank.decay << " " << read.decay;
  EXPECT_LE(timeCents(bank.release, read.release), 2) << bank.release << " " << read.release;
  EXPECT_LE(std::abs(200 * std::log10(bank.sustain / read.sustain)), 2) << bank.sustain << " " << read.sustain;
  EXPECT_NEAR(bank.pan, read.pan, 0.2);
  EXPECT_EQ(bank.cutoffHertz == 0, read.cutoffHertz == 0);
  if (bank.cutoffHertz != 0) {
    EXPECT_LE(timeCents(bank.cutoffHertz, read.cutoffHertz), 2);
  }
  EXPECT_NEAR(bank.volumeDecibels, read.volumeDecibels, 0.1);
}

void ExpectSameZones(const std::vector<SoundFontZone>& bank, const std::vector<PresetZoneValues>& read,
                     const std::string& reader) {
  SCOPED_TRACE(reader);
  ASSERT_EQ(bank.size(), read.size());
  for (size_t z = 0; z < bank.size(); ++z) {
    SCOPED_TRACE("zone " + std::to_string(z));
    ExpectSameZone(BankValues(bank[z]), read[z]);
  }
}

// Polyphone's bank of `sfz`, made in `folder`.
std::vector<SoundFontZone> PolyphoneZones(const fs::path& sfz, const fs::path& folder) {
  const std::string command = "QT_QPA_PLATFORM=offscreen polyphone -1 -i '" + sfz.string() + "' -d '" +
                              folder.string() + "' -o converted >'" + (folder / "polyphone.log").string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << "polyphone (scripts/lib.sh installs it) failed on " << sfz;
  return testsupport::ReadSoundFontZones(folder / "converted.sf2");
}

TEST(PresetExport, PresetsAgreeWithTheBankZoneForZone) {
  const fs::path references = testsupport::ReferenceData("akai");
  const fs::path images[] = {CARVOX_DEMO_DISC, references / "builder-demo.iso", references / "holes.img"};
  for (const fs::path& image : images) {
    SCOPED_TRACE(image.filename().string());
    const fs::path out = testsupport::FreshFolder("presets-" + image.stem().string());
    const clitest::CliRun run = clitest::Capture([&](std::ostream& o, std::ostream& e) {
      return cli::RunExport({.image = image, .outputDir = out, .all = true, .formats = "sf2,sfz,dspreset"}, o, e);
    });
    ASSERT_EQ(run.status, 0) << run.err;
    int banks = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
      if (entry.path().extension() != ".sf2") continue;
      SCOPED_TRACE(entry.path().string());
      ++banks;
      const std::vector<SoundFontZone> bank = testsupport::ReadSoundFontZones(entry.path());
      fs::path preset = entry.path();
      const auto sfz = testsupport::ReadSfzPreset(preset.replace_extension(".sfz"));
      ExpectSameZones(bank, sfz, "sfz");
      ExpectSameZones(bank, testsupport::ReadDecentSamplerPreset(preset.replace_extension(".dspreset")), "dspreset");
      for (const PresetZoneValues& zone : sfz) {
        EXPECT_TRUE(clitest::ReadWav(entry.path().parent_path() / zone.sample).opened) << zone.sample;
      }
      std::vector<PresetZoneValues> polyphone;
      for (const SoundFontZone& zone : PolyphoneZones(preset.replace_extension(".sfz"), testsupport::FreshFolder("polyphone"))) {
        polyphone.push_back(BankValues(zone));
      }
      ExpectSameZones(bank, polyphone, "Polyphone");
    }
    EXPECT_GT(banks, 0);
  }
}

}  // namespace
