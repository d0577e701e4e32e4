// carvox-cli export on images of the image builder: the files written (read back by
// libsndfile), folder names with --all, failures reported item by item, exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tests/support/PresetReaders.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/tools/CliTestSupport.h"
#include "tools/cli/ExportCommand.h"

namespace {

namespace fs = std::filesystem;
using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::SampleDescription;
using akaiimage::SampleForm;
using akaiimage::VolumeEntry;
using clitest::ReadWav;
using clitest::Sample;
using clitest::SampleFile;
using clitest::Words;

using clitest::CliRun;

CliRun Export(const cli::ExportOptions& options) {
  return clitest::Capture([&](std::ostream& out, std::ostream& err) { return cli::RunExport(options, out, err); });
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// PIANO C3: S1000, 44100 Hz, root 60, looped over words 3033..4032.
SampleDescription Piano() {
  SampleDescription piano = Sample("PIANO C3", Words(5000, 1));
  piano.loops.push_back({.loopAt = 4032, .length = 1000, .time = 1});
  return piano;
}

// BASS: S3000 with a 192-byte header, 22050 Hz, root 36, played from word 100 to 2099.
SampleDescription Bass() {
  SampleDescription bass = Sample("BASS", Words(3000, 2), 22050, 36);
  bass.form = SampleForm::S3000;
  bass.rateFlag = 0;
  bass.startMarker = 100;
  bass.endMarker = 2099;
  return bass;
}

akaiimage::ProgramDescription Kit() {
  akaiimage::ProgramDescription kit;
  kit.name = "KIT";
  kit.keygroups.push_back({.zones = {{.sampleName = "PIANO C3"}}});
  return kit;
}

DiscDescription KeysDisc() {
  DiscDescription disc;
  disc.partitions = {
      PartitionEntry{60, {VolumeEntry{.name = "KEYS", .files = {SampleFile(Piano()), SampleFile(Bass()),
                                                                clitest::ProgramFile(Kit())}},
                          VolumeEntry{.name = "PADS", .files = {SampleFile(Sample("PAD", Words(2000, 3), 32000))}}}},
      PartitionEntry{30, {VolumeEntry{.name = "DRUMS", .files = {SampleFile(Sample("KICK", Words(1500, 4)))}}}}};
  return disc;
}

cli::ExportOptions OneVolume(const fs::path& image, const fs::path& dir, const std::string& partition,
                             const std::string& volume) {
  return {.image = image, .outputDir = dir, .partition = partition, .volumeName = volume};
}

cli::ExportOptions AllVolumes(const fs::path& image, const fs::path& dir) {
  return {.image = image, .outputDir = dir, .all = true};
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST(ExportCommand, OneVolumeAsWavFilesAndABank) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("one-volume") / "out";
  const CliRun run = Export(OneVolume(image, dir, "A", "KEYS"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"piano c3.wav", "bass.wav", "kit.sf2"}));
  EXPECT_TRUE(Contains(run.out, "wrote " + (dir / "piano c3.wav").string() + "\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "wrote " + (dir / "kit.sf2").string() + "\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "Exported 2 samples and 1 bank from 1 volume into " + dir.string() + ".\n")) << run.out;

  const clitest::WavContents piano = ReadWav(dir / "piano c3.wav");
  ASSERT_TRUE(piano.opened);
  EXPECT_EQ(piano.rate, 44100);
  EXPECT_EQ(piano.words, Words(5000, 1));
  EXPECT_EQ(piano.rootKey, 60);
  EXPECT_EQ(piano.loops, 1);
  EXPECT_EQ(piano.loopStart, 3033u);
  EXPECT_EQ(piano.loopEnd, 4033u);  // the inclusive end 4032, plus one

  // The S3000 sample's words start after its 192-byte header, at the start marker.
  const clitest::WavContents bass = ReadWav(dir / "bass.wav");
  const std::vector<int16_t> all = Words(3000, 2);
  EXPECT_EQ(bass.rate, 22050);
  EXPECT_EQ(bass.words, std::vector<int16_t>(all.begin() + 100, all.begin() + 2100));
  EXPECT_EQ(bass.rootKey, 36);
  EXPECT_EQ(bass.loops, 0);

  std::ifstream bank(dir / "kit.sf2", std::ios::binary);
  std::string header(12, '\0');
  bank.read(header.data(), 12);
  EXPECT_EQ(header.substr(0, 4), "RIFF");
  EXPECT_EQ(header.substr(8, 4), "sfbk");
}

// Named programs and samples alone, typed as people type them; a program brings the
// samples it plays.
TEST(ExportCommand, SelectedProgramsAndSamples) {
  const struct {
    std::string volume;
    std::vector<std::string> names;
    int status;
    std::set<std::string> files;
  } cases[] = {
      {"B/PLUCK VELO", {"pluck velo"}, 0,
       {"pluck velo.sf2", "plk c2 soft.wav", "plk c2 med.wav", "plk c2 hard.wav", "plk c3 soft.wav",
        "plk c3 med.wav", "plk c3 hard.wav", "plk c4 soft.wav", "plk c4 med.wav", "plk c4 hard.wav"}},
      {"A/DRUMS", {"kick", "Hat  "}, 0, {"kick.wav", "hat.wav"}},
      {"A/DRUMS", {"kik"}, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.volume + " " + c.names.front());
    const fs::path out = testsupport::FreshFolder("selected");
    const CliRun run = clitest::Capture([&](std::ostream& o, std::ostream& e) {
      return cli::RunExport({.image = CARVOX_DEMO_DISC, .outputDir = out, .volumeName = c.volume, .names = c.names}, o, e);
    });
    EXPECT_EQ(run.status, c.status) << run.err;
    std::set<std::string> written;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) written.insert(entry.path().filename());
    EXPECT_EQ(written, c.files);
    if (c.status != 0) {
      EXPECT_NE(run.err.find("(closest: \"KICK\""), std::string::npos) << run.err;
    }
  }
}

// Several images with --all: each into a folder named after it; one that cannot be
// read is reported, the others are still exported, and the status says so.
TEST(ExportCommand, ManyImagesEachInTheirOwnFolder) {
  const fs::path dir = testsupport::FreshFolder("many");
  const fs::path holes = testsupport::ReferenceData("akai/holes.img");
  const CliRun run = Export({.image = CARVOX_DEMO_DISC, .outputDir = dir, .all = true, .noSf2 = true,
                             .names = {(dir / "missing.img").string(), holes.string()}});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "missing.img")) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"demo.iso", "holes.img"}));
  EXPECT_TRUE(fs::exists(dir / "demo.iso" / "A" / "DRUMS" / "kick.wav"));
  EXPECT_TRUE(fs::exists(dir / "holes.img" / "A" / "ONE"));
}

// --no-clobber keeps what is there and says so; without it files are replaced.
TEST(ExportCommand, NoClobberKeepsExistingFiles) {
  const fs::path dir = testsupport::FreshFolder("clobber");
  std::ofstream(dir / "kick.wav") << "mine";
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    const CliRun run = Export({.image = CARVOX_DEMO_DISC, .outputDir = dir, .volumeName = "A/DRUMS", .noClobber = keep});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Contains(run.out, "kept " + (dir / "kick.wav").string() + " (already there)\n"), keep) << run.out;
    EXPECT_EQ(Contains(run.out, "1 file already there kept."), keep) << run.out;
    EXPECT_EQ(ReadWav(dir / "kick.wav").opened, !keep);
    EXPECT_TRUE(ReadWav(dir / "hat.wav").opened);
  }
}

TEST(ExportCommand, PartitionsAndVolumesByLetterOrIndex) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path root = testsupport::FreshFolder("by-index");
  cli::ExportOptions byIndex{.image = image, .outputDir = root / "kick", .partition = "0001", .volumeIndex = 0};
  EXPECT_EQ(Export(byIndex).status, 0);
  EXPECT_EQ(ReadWav(root / "kick" / "kick.wav").words, Words(1500, 4));

  byIndex.outputDir = root / "pad";
  byIndex.partition = "A";
  byIndex.volumeIndex = 1;
  EXPECT_EQ(Export(byIndex).status, 0);
  EXPECT_EQ(ReadWav(root / "pad" / "pad.wav").rate, 32000);
}

TEST(ExportCommand, NormalizeAndNoBanks) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("normalize");
  cli::ExportOptions options = OneVolume(image, dir, "A", "KEYS");
  options.normalize = true;
  options.noSf2 = true;
  const CliRun run = Export(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"piano c3.wav", "bass.wav"}));
  EXPECT_TRUE(Contains(run.out, "Exported 2 samples and 0 banks")) << run.out;
  int peak = 0;
  for (int16_t word : ReadWav(dir / "piano c3.wav").words) peak = std::max(peak, std::abs(int{word}));
  EXPECT_EQ(peak, 32767);
}

TEST(ExportCommand, AllGivesEveryVolumeItsFolder) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("all");
  const CliRun run = Export(AllVolumes(image, dir));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"A", "B"}));
  EXPECT_EQ(Entries(dir / "A" / "KEYS"), (std::set<std::string>{"piano c3.wav", "bass.wav", "kit.sf2"}));
  EXPECT_EQ(ReadWav(dir / "A" / "PADS" / "pad.wav").words, Words(2000, 3));
  EXPECT_EQ(ReadWav(dir / "B" / "DRUMS" / "kick.wav").words, Words(1500, 4));
  EXPECT_TRUE(Contains(run.out, "Exported 4 samples and 1 bank from 3 volumes")) << run.out;
}

// Volumes named ".", "..", blank, and twice the same: each gets a folder of its own
// inside the output folder, and every file there holds its own volume's sample.
TEST(ExportCommand, UnsafeAndDuplicateVolumeNamesStayInsideAndApart) {
  const std::vector<std::string> names = {".", "..", "", "SAME", "SAME"};
  DiscDescription disc;
  disc.partitions.push_back({40, {}});
  for (size_t i = 0; i < names.size(); ++i) {
    disc.partitions[0].volumes.push_back(
        VolumeEntry{.name = names[i], .files = {SampleFile(Sample("TONE", Words(500, static_cast<int>(i))))}});
  }
  const fs::path root = testsupport::FreshFolder("unsafe");
  const CliRun run = Export(AllVolumes(testsupport::BuildImage(disc), root / "out"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(root), std::set<std::string>{"out"});
  EXPECT_EQ(Entries(root / "out"), std::set<std::string>{"A"});
  const std::vector<std::string> folders = {"_.", "_..", "_", "SAME", "SAME (2)"};
  EXPECT_EQ(Entries(root / "out" / "A"), std::set<std::string>(folders.begin(), folders.end()));
  for (size_t i = 0; i < folders.size(); ++i) {
    EXPECT_EQ(ReadWav(root / "out" / "A" / folders[i] / "tone.wav").words, Words(500, static_cast<int>(i)))
        << folders[i];
  }
}

// A partition after Z is chosen by its letter ('[') or index, and exported with --all
// into a folder named by its index.
TEST(ExportCommand, PartitionsPastZ) {
  DiscDescription disc;
  disc.partitions.assign(28, PartitionEntry{4, {}});
  disc.partitions[26].volumes.push_back(VolumeEntry{.name = "V", .files = {SampleFile(Sample("S", Words(10, 5)))}});
  const fs::path image = testsupport::BuildImage(disc);
  const fs::path dir = testsupport::FreshFolder("past-z");
  EXPECT_EQ(Export(OneVolume(image, dir / "letter", "[", "V")).status, 0);
  EXPECT_TRUE(fs::exists(dir / "letter" / "s.wav"));
  EXPECT_EQ(Export(OneVolume(image, dir / "index", "26", "V")).status, 0);
  EXPECT_TRUE(fs::exists(dir / "index" / "s.wav"));
  EXPECT_EQ(Export(AllVolumes(image, dir / "all")).status, 0);
  EXPECT_TRUE(fs::exists(dir / "all" / "26" / "V" / "s.wav"));
  // Letters compare case-sensitively: 'a' would be partition 32.
  EXPECT_TRUE(Contains(Export(OneVolume(image, dir / "lower", "a", "V")).err, "there is no partition \"a\""));
}

// A sample whose header is corrupt and one cut off by the end of the image are reported
// by name with the reason; the samples between them are still written.
TEST(ExportCommand, FailingSamplesAreReportedAndTheRunGoesOn) {
  SampleDescription broken = Sample("BROKEN", Words(100, 6));
  broken.endMarker = 9000;
  DiscDescription disc;
  disc.partitions.push_back({40, {VolumeEntry{.name = "MIXED", .files = {SampleFile(broken),
                                                                         SampleFile(Sample("GOOD", Words(300, 7))),
                                                                         SampleFile(Sample("CUT", Words(9000, 8)))}}}});
  const akaiimage::ImageLayout layout = akaiimage::WriteImage(disc, testsupport::FreshFolder("whole") / "whole.img");
  disc.imageBytes = layout.partitions[0].volumes[0].files[2].absoluteBlocks[1] * 8192;  // CUT's second block is gone
  const fs::path image = testsupport::BuildImage(disc, "cut");
  const fs::path dir = testsupport::FreshFolder("failing");

  const CliRun run = Export(OneVolume(image, dir, "A", "MIXED"));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, image.string() + ": A/MIXED/BROKEN: cannot load the sample: the data is corrupt"))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "A/MIXED/CUT: cannot load the sample: it reaches past the end of the image (blocks 6 "
                                "to 8; the image ends at byte 57344): the image is cut short or its directory entry "
                                "is wrong\n"))
      << run.err;
  EXPECT_EQ(Entries(dir), std::set<std::string>{"good.wav"});
  EXPECT_TRUE(Contains(run.out, "Exported 1 sample and 0 banks from 1 volume into " + dir.string() +
                                    "; 2 items failed.\n"))
      << run.out;
}

// A directory entry whose start block lies past the end of a whole image: the entry may
// as well be wrong, so the image is not called cut short.
TEST(ExportCommand, AnEntryPointingPastTheImageIsNotCalledCutShort) {
  DiscDescription disc;
  disc.partitions.push_back({40, {VolumeEntry{.name = "V", .files = {SampleFile(Sample("GOOD", Words(300, 7))),
                                                                   {.name = "LOST", .length = 1000, .startBlock = 5000}}}}});
  const fs::path image = testsupport::BuildImage(disc, "past-end");
  const CliRun run = Export(OneVolume(image, testsupport::FreshFolder("past-end-out"), "A", "V"));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "A/V/LOST: cannot load the sample: it lies past the end of the image (block 5000; the "
                                "image ends at byte 327680): the image is cut short or its directory entry is wrong\n"))
      << run.err;
}

// --all on an image cut short inside its second partition: the second and third
// partitions of the table cannot be read; each is reported, the first is exported.
TEST(ExportCommand, AllReportsEveryPartitionThatCannotBeRead) {
  DiscDescription disc = KeysDisc();
  disc.partitions.push_back({20, {VolumeEntry{.name = "LATE", .files = {SampleFile(Sample("LATE", Words(100, 9)))}}}});
  disc.imageBytes = 60 * 8192 + 100;
  const fs::path image = testsupport::BuildImage(disc, "cut-partitions");
  const fs::path dir = testsupport::FreshFolder("cut-partitions-out");
  const CliRun run = Export(AllVolumes(image, dir));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, image.string() + ": partition 2 of the partition table (start block 60, 30 blocks) "
                                "cannot be read: it reaches past the end of the image (block 60; the image ends at "
                                "byte 491620): the image is cut short or the partition table is wrong\n"))
      << run.err;
  EXPECT_TRUE(Contains(run.err, "partition 3 of the partition table (start block 90, 20 blocks) cannot be read: it "
                                "lies past the end of the image (block 90;"))
      << run.err;
  EXPECT_TRUE(Contains(run.out, "Exported 3 samples and 1 bank from 2 volumes into " + dir.string() +
                                    "; 2 partitions failed.\n"))
      << run.out;

  // Partition letters count only the readable partitions: the message says why B is missing.
  const CliRun missing = Export(OneVolume(image, dir / "b", "B", "DRUMS"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.err, "there is no partition \"B\": the disc has 1 partition, A (0 to 0); partition 2 "
                                    "of the partition table (start block 60, 30 blocks) cannot be read; partition 3 "
                                    "of the partition table (start block 90, 20 blocks) cannot be read\n"))
      << missing.err;
}

// An output folder that cannot be used fails the run once, before anything is done.
TEST(ExportCommand, AnOutputFolderThatCannotBeUsedFailsOnce) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path file = testsupport::FreshFolder("bad-output") / "file.txt";
  std::ofstream(file) << "not a folder";
  struct Case {
    cli::ExportOptions options;
    std::string text;
  };
  // Tests run as root, who may write anywhere: below a file nobody can.
  const Case cases[] = {
      {OneVolume(image, file, "A", "KEYS"), "cannot use the output folder " + file.string() + ": it is a file, not a folder\n"},
      {AllVolumes(image, file / "out"),
       "cannot use the output folder " + (file / "out").string() + ": it cannot be created (Not a directory)\n"},
  };
  for (const Case& c : cases) {
    const CliRun run = Export(c.options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "carvox-cli: " + image.string() + ": " + c.text);
    EXPECT_EQ(run.out, "");
  }
}

// A volume whose folder cannot be made counts as a failed volume, not as an item.
TEST(ExportCommand, AVolumeWhoseFolderCannotBeMadeCountsAsAVolume) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("volume-folder");
  fs::create_directories(dir / "A");
  std::ofstream(dir / "A" / "PADS") << "a file where the folder should go";
  const CliRun run = Export(AllVolumes(image, dir));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, ": volume A/PADS: cannot create the folder " + (dir / "A" / "PADS").string())) << run.err;
  EXPECT_TRUE(Contains(run.out, "Exported 3 samples and 1 bank from 2 volumes into " + dir.string() +
                                    "; 1 volume failed.\n"))
      << run.out;
}

TEST(ExportCommand, AWavThatCannotBeWrittenFailsTheRun) {
  testsupport::ScriptedPrompt prompt;
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("unwritable");
  fs::create_directories(dir / "bass.wav");  // a folder where the file should go
  cli::ExportOptions options = OneVolume(image, dir, "A", "KEYS");
  options.noSf2 = true;
  const CliRun run = Export(options);
  EXPECT_EQ(run.status, 2);
  // The writer's reason is printed once, on the item's line, and no prompt is shown.
  EXPECT_TRUE(Contains(run.err, "A/KEYS/BASS: could not write " + (dir / "bass.wav").string() +
                                    ": Could not write WAV file\n"))
      << run.err;
  EXPECT_EQ(run.err.find("Could not write WAV file"), run.err.rfind("Could not write WAV file")) << run.err;
  EXPECT_TRUE(prompt.texts().empty()) << prompt.texts().front();
  EXPECT_TRUE(ReadWav(dir / "piano c3.wav").opened);
}

TEST(ExportCommand, WithoutTheEngineBanksFailAndSamplesAreStillWritten) {
  testsupport::ScriptedPrompt prompt;
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("no-engine");
  cli::ExportOptions options = OneVolume(image, dir, "A", "KEYS");
  options.engineLibrary = (dir / "libnothing.so").string();
  const CliRun run = Export(options);
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(prompt.texts().empty()) << prompt.texts().front();
  EXPECT_TRUE(Contains(run.err, "A/KEYS/KIT: the bank was not written: Could not load the SF2 manager driver; SF2 "
                                "export will not work. Could not perform task; the SF2 engine isn't running.\n"))
      << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"piano c3.wav", "bass.wav"}));
}

// A warning that does not stop its file is printed once on the item's line, no prompt.
TEST(ExportCommand, AWarningThatDoesNotStopTheBankIsPrintedOnItsLine) {
  testsupport::ScriptedPrompt prompt;
  DiscDescription disc = KeysDisc();
  akaiimage::ProgramDescription kit = Kit();
  kit.keygroups.insert(kit.keygroups.end(), 2, kit.keygroups[0]);
  kit.keygroups[1].mark = 0;
  disc.partitions[0].volumes[0].files[2] = clitest::ProgramFile(kit);
  const CliRun run = Export(OneVolume(testsupport::BuildImage(disc), testsupport::FreshFolder("warned"), "A", "KEYS"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "A/KEYS/KIT: WARNING: program seems corrupt. Skipping keygroups 2 through 3.\n"))
      << run.err;
  EXPECT_TRUE(prompt.texts().empty()) << prompt.texts().front();
}

TEST(ExportCommand, ErrorsNameWhatWasAskedFor) {
  DiscDescription notAkai = KeysDisc();
  notAkai.damagedSignatureBytes = 20;
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path damaged = testsupport::BuildImage(notAkai, "damaged");
  const fs::path root = testsupport::FreshFolder("errors");
  const fs::path dir = root / "out";
  struct Case {
    cli::ExportOptions options;
    std::string text;
  };
  const Case cases[] = {
      {OneVolume(root / "missing.iso", dir, "A", "KEYS"), "cannot open disc image"},
      {OneVolume(damaged, dir, "A", "KEYS"), "not an AKAI S1000/S3000 disc image"},
      {OneVolume(image, dir, "C", "KEYS"), "there is no partition \"C\": the disc has 2 partitions, A to B (0 to 1)"},
      {OneVolume(image, dir, "7", "KEYS"), "there is no partition \"7\""},
      {OneVolume(image, dir, "18446744073709551617", "KEYS"), "there is no partition \"18446744073709551617\""},
      {OneVolume(image, dir, "AB", "KEYS"), "\"AB\" is neither a partition letter nor a partition index"},
      {OneVolume(image, dir, "A", "NOPE"), "partition A has no volume named \"NOPE\" (its volumes: \"KEYS\", \"PADS\")"},
      {OneVolume(image, dir, "A", "KEY"), "no volume named \"KEY\""},
      {{.image = image, .outputDir = dir, .partition = "B", .volumeIndex = 1}, "partition B has no volume with index 1"},
      {{.image = image, .outputDir = dir, .partition = "A"}, "give --partition P with either --volume NAME"},
      {{.image = image, .outputDir = dir, .partition = "A", .all = true}, "--all exports every volume"},
  };
  for (const Case& c : cases) {
    const CliRun run = Export(c.options);
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_TRUE(Contains(run.err, c.text)) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(fs::exists(dir));
}

TEST(ExportCommand, ProgressLineIsClearedBeforeEveryLine) {
  const fs::path image = testsupport::BuildImage(KeysDisc());
  cli::ExportOptions options = OneVolume(image, testsupport::FreshFolder("progress"), "A", "KEYS");
  options.progress = true;
  const CliRun run = Export(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "\r\033[K[1/3] A/KEYS/PIANO C3")) << run.err;
  EXPECT_TRUE(Contains(run.err, "[3/3] A/KEYS/KIT (zone 1 of 1)")) << run.err;
  EXPECT_TRUE(run.err.ends_with("\r\033[K")) << run.err;
}

// The program itself, as scripts see it.
TEST(ExportCommand, ProgramExitStatuses) {
  using clitest::RunProgram;
  const fs::path image = testsupport::BuildImage(KeysDisc());
  const fs::path dir = testsupport::FreshFolder("program");
  const std::string quoted = "'" + image.string() + "'";
  EXPECT_EQ(RunProgram("export " + quoted + " -o '" + (dir / "ok").string() + "' --partition A --volume KEYS", dir / "ok.log"), 0);
  EXPECT_TRUE(fs::exists(dir / "ok" / "kit.sf2"));
  fs::create_directories(dir / "partly" / "A" / "PADS" / "pad.wav");
  EXPECT_EQ(RunProgram("export " + quoted + " -o '" + (dir / "partly").string() + "' --all", dir / "partly.log"), 2);
  EXPECT_EQ(RunProgram("export " + quoted + " -o '" + (dir / "bad").string() + "' --partition Q --volume-index 0",
                       dir / "bad.log"),
            1);
  EXPECT_NE(RunProgram("export " + quoted + " -o x --all --partition A", dir / "usage.log"), 0);
  EXPECT_NE(RunProgram("export " + quoted + " -o x --volume A --volume-index 0", dir / "usage.log"), 0);
}

}  // namespace

namespace {

// The words of one channel of interleaved frames.
std::vector<int16_t> Channel(const clitest::WavContents& wav, int channel) {
  std::vector<int16_t> words;
  for (size_t i = static_cast<size_t>(channel); i < wav.words.size(); i += static_cast<size_t>(wav.channels)) {
    words.push_back(wav.words[i]);
  }
  return words;
}

// The shared image's pairs (short names padded with blanks before the ending, S1000
// and S3000 volumes) each become one file whose channels are the halves' words.
TEST(ExportCommand, JoinStereoWritesEachPairAsOneFile) {
  const fs::path dir = testsupport::FreshFolder("stereo-shared");
  const fs::path data = testsupport::ReferenceData("akai");
  cli::ExportOptions options = AllVolumes(data / "stereo.img", dir);
  options.noSf2 = true;
  options.joinStereo = true;
  const CliRun run = Export(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir / "A" / "STEREO1"), (std::set<std::string>{"mono1a.wav", "mono1b.wav", "pad1.wav", "strings1lo.wav"}));
  for (const auto& [file, left] : {std::pair{"A/STEREO1/pad1.wav", "A/STEREO1/PAD1      -"},
                                   {"B/STEREO3/strings3lo.wav", "B/STEREO3/STRINGS3LO-"}}) {
    SCOPED_TRACE(file);
    const clitest::WavContents wav = ReadWav(dir / file);
    ASSERT_EQ(wav.channels, 2);
    EXPECT_EQ(Channel(wav, 0), ReadWav(data / "stereo.expect" / (std::string(left) + "L.wav")).words);
    EXPECT_EQ(Channel(wav, 1), ReadWav(data / "stereo.expect" / (std::string(left) + "R.wav")).words);
  }
}

// Presets play the mono halves their zones name, as the bank does: with --join-stereo
// those files are written beside the joined one, and blanks in their names work.
TEST(ExportCommand, PresetsOfJoinedPairsPlayTheMonoHalves) {
  akaiimage::ProgramDescription pads;
  pads.name = "PADS";
  pads.keygroups.push_back({.zones = {{.sampleName = "PAD      -L", .pan = -50}, {.sampleName = "PAD      -R", .pan = 50}}});
  DiscDescription disc;
  disc.partitions = {PartitionEntry{40, {VolumeEntry{.name = "PADS", .files = {SampleFile(Sample("PAD      -L", Words(900, 1))),
                                                                               SampleFile(Sample("PAD      -R", Words(900, 2))),
                                                                               clitest::ProgramFile(pads)}}}}};
  const fs::path dir = testsupport::FreshFolder("stereo-presets");
  cli::ExportOptions options = OneVolume(testsupport::BuildImage(disc, "pads"), dir, "A", "PADS");
  options.joinStereo = true;
  options.formats = "sfz,dspreset";
  const CliRun run = Export(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"pad.wav", "pad      -l.wav", "pad      -r.wav", "pads.sfz",
                                                 "pads.dspreset"}));
  for (const auto& zones : {testsupport::ReadSfzPreset(dir / "pads.sfz"),
                            testsupport::ReadDecentSamplerPreset(dir / "pads.dspreset")}) {
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0].sample, "pad      -l.wav");
    EXPECT_EQ(zones[1].sample, "pad      -r.wav");
    EXPECT_EQ(zones[0].pan, -100);
    EXPECT_EQ(ReadWav(dir / zones[1].sample).words, Words(900, 2));
  }
}

TEST(ExportCommand, JoinStereoKeepsPairsThatDoNotMatchApart) {
  SampleDescription left = Sample("FIT-L", Words(3000, 5), 44100, 48);
  left.loops.push_back({.loopAt = 2048, .length = 1000, .time = 1});
  DiscDescription disc;
  disc.partitions = {PartitionEntry{60, {VolumeEntry{
      .name = "V",
      .files = {SampleFile(Sample("LONG-L", Words(1000, 1))), SampleFile(Sample("LONG-R", Words(999, 2))),
                SampleFile(Sample("RATE-R", Words(500, 3), 22050)), SampleFile(Sample("RATE-L", Words(500, 4))),
                SampleFile(left), SampleFile(Sample("FIT-R", Words(3000, 6), 44100, 50))}}}}};
  const fs::path dir = testsupport::FreshFolder("stereo-built");
  cli::ExportOptions options = OneVolume(testsupport::BuildImage(disc), dir, "A", "V");
  options.joinStereo = true;
  const CliRun run = Export(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"long-l.wav", "long-r.wav", "rate-l.wav", "rate-r.wav", "fit.wav"}));
  EXPECT_TRUE(Contains(run.err, "note: A/V/LONG: the -L and -R samples are written as two files: their lengths differ"));
  EXPECT_TRUE(Contains(run.err, "note: A/V/RATE: the -L and -R samples are written as two files: their rates differ"));
  // The left half gives the root key and the loop.
  const clitest::WavContents fit = ReadWav(dir / "fit.wav");
  EXPECT_EQ(fit.channels, 2);
  EXPECT_EQ(fit.rootKey, 48);
  EXPECT_EQ(fit.loopStart, 1049u);  // loop end 2048 + 1, less its length
  EXPECT_EQ(Channel(fit, 1), Words(3000, 6));
}

}  // namespace
