// carvox-cli show: keygroups, zones, the zone's sample and the tuning a bank gives it.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/tools/CliTestSupport.h"
#include "tools/cli/ShowCommand.h"

namespace {

namespace fs = std::filesystem;
using akaiimage::DiscDescription;
using akaiimage::PartitionEntry;
using akaiimage::SampleDescription;
using akaiimage::VolumeEntry;
using clitest::Sample;
using clitest::SampleFile;
using clitest::Words;

using clitest::CliRun;

CliRun Show(const fs::path& image, const std::string& volume, const std::string& program) {
  return clitest::Capture([&](std::ostream& out, std::ostream& err) {
    return cli::RunShow({image, "A", volume, std::nullopt, program}, out, err);
  });
}

// SPLIT: keys 0..59 in two velocity zones (the loud one tuned up a semitone, cents byte
// 0xF6), keys 60..127 on a 32000 Hz sample and a sample that is not on the disc.
fs::path SplitDisc() {
  SampleDescription low = Sample("LOW", Words(5000, 1), 44100, 48);
  low.loops.push_back({.loopAt = 4032, .length = 1000, .time = 1});
  akaiimage::ProgramDescription split;
  split.name = "SPLIT";
  split.s3000 = true;
  akaiimage::KeygroupDescription lowKeys;
  lowKeys.highKey = 59;
  lowKeys.zones = {{.sampleName = "LOW", .highVelocity = 63},
                    {.sampleName = "LOW LOUD", .lowVelocity = 64, .centsTune = -10, .semitoneTune = 1}};
  akaiimage::KeygroupDescription highKeys;
  highKeys.lowKey = 60;
  highKeys.zones = {{.sampleName = "HIGH 32K"}, {.sampleName = "MISSING"}};
  split.keygroups = {lowKeys, highKeys};
  DiscDescription disc;
  disc.partitions.push_back(
      {40, {VolumeEntry{.name = "KEYS", .files = {clitest::ProgramFile(split), SampleFile(low),
                                                  SampleFile(Sample("LOW LOUD", Words(800, 2))),
                                                  SampleFile(Sample("HIGH 32K", Words(900, 3), 32000, 72))}}}});
  return testsupport::BuildImage(disc, "split");
}

void ExpectLines(const std::string& text, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\nin:\n" << text;
}

TEST(ShowCommand, KeygroupsZonesSamplesAndBankTuning) {
  const CliRun run = Show(SplitDisc(), "KEYS", "SPLIT");
  EXPECT_EQ(run.status, 2);  // MISSING cannot be loaded
  ExpectLines(run.out, {
      "Program SPLIT (S3000 program) in volume A/KEYS: 2 keygroups",
      "  Keygroup 1: keys 0 to 59, tuning 0 semitones 0 cents, 2 zones",
      "    Zone 1: LOW, velocities 0 to 63, tuning 0 semitones 0 cents, pan 0, loop mode 0",
      "        sample: 44100 Hz, root key 48, 5000 words, tuning 0 semitones 0 cents",
      "        play loop: words 3033 to 4032 (1000 words)",
      "        in a bank: coarse tune 0 semitones, fine tune 0 cents, looped",
      "    Zone 2: LOW LOUD, velocities 64 to 127, tuning 1 semitones -10 cents, pan 0, loop mode 0",
      "        play loop: none",
      // With semitones set, the cents byte 0xF6 counts as 246: trunc(246 x 100/254) = 96.
      "        in a bank: coarse tune 1 semitones, fine tune 96 cents, not looped",
      "  Keygroup 2: keys 60 to 127, tuning 0 semitones 0 cents, 2 zones",
      "        sample: 32000 Hz, root key 72, 900 words, tuning 0 semitones 0 cents",
      // A 32000 Hz sample keeps its rate in a bank: no rate correction.
      "        in a bank: coarse tune 0 semitones, fine tune 0 cents, not looped",
      "    Zone 2: MISSING, velocities 0 to 127, tuning 0 semitones 0 cents, pan 0, loop mode 0",
      "        sample: cannot be loaded: it is not in the volume's directory",
  });
  EXPECT_NE(run.err.find("program A/KEYS/SPLIT: some zones' samples cannot be loaded"), std::string::npos) << run.err;
}

TEST(ShowCommand, SampleHeader) {
  const CliRun run = Show(SplitDisc(), "KEYS", "LOW");
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectLines(run.out, {
      "Sample LOW (S1000 sample) in volume A/KEYS",
      "  rate 44100 Hz, length 5000 words (0.113379 s)",
      "  root key 48 (C2), tuning 0 semitones 0 cents",
      "  loop 1: ends at word 4033, 1000 words, 1 ms",
      "  play loop: words 3033 to 4032",
  });
}

// Names as people type them: case, trailing blanks and runs of blanks do not count;
// "A/NAME" names partition and volume; a name that could be two is refused.
TEST(ShowCommand, NamesAsTyped) {
  const fs::path stereo = testsupport::ReferenceData("akai/stereo.img");
  const struct {
    std::string partition, volume, name;
    int status;
    const char* shown;  // the header line, or a part of the error
  } cases[] = {
      {"A", "stereo1", "pad1 -l", 0, "Sample PAD1      -L (S1000 sample) in volume A/STEREO1"},
      {"", "B/STEREO3", "Strings3lo-R  ", 0, "Sample STRINGS3LO-R"},
      {"", "A/stereo1", "PAD2 -L", 1, "has no program or sample named \"PAD2 -L\" (closest: \"PAD1      -L\""},
      {"A", "STEREO9", "MONO1A", 1, "partition A has no volume named \"STEREO9\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume + " " + c.name);
    const CliRun run = clitest::Capture([&](std::ostream& out, std::ostream& err) {
      return cli::RunShow({stereo, c.partition, c.volume, std::nullopt, c.name}, out, err);
    });
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((run.out + run.err).find(c.shown), std::string::npos) << run.out << run.err;
  }
}

TEST(ShowCommand, Errors) {
  const fs::path image = SplitDisc();
  CliRun run = Show(image, "KEYS", "NOPE");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(image.string() + ": volume A/KEYS has no program or sample named \"NOPE\" (closest: \"LOW\","),
            std::string::npos)
      << run.err;

  run = Show(image, "DRUMS", "SPLIT");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("partition A has no volume named \"DRUMS\""), std::string::npos) << run.err;

  std::ostringstream out, err;
  EXPECT_EQ(cli::RunShow({image, "A", std::nullopt, std::nullopt, "SPLIT"}, out, err), 1);
  EXPECT_NE(err.str().find("give --partition P with either --volume NAME or --volume-index N"), std::string::npos);
}

}  // namespace
