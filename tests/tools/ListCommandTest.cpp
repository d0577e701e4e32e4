#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "tests/tools/CliTestSupport.h"
#include "tools/akaiimage/RawSectorImage.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/ListCommand.h"

namespace {

namespace fs = std::filesystem;
using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;
using nlohmann::json;
using testsupport::Filled;

using ListRun = clitest::CliRun;

ListRun List(const fs::path& image, bool asJson) {
  return clitest::Capture([&](std::ostream& out, std::ostream& err) { return cli::RunList({image, asJson}, out, err); });
}

// Every field of `expected` is in `actual` with the same value; arrays match in length.
void ExpectContains(const json& expected, const json& actual, const std::string& where) {
  if (expected.is_object()) {
    ASSERT_TRUE(actual.is_object()) << where;
    for (const auto& [key, value] : expected.items()) {
      ASSERT_TRUE(actual.contains(key)) << where << "." << key;
      ExpectContains(value, actual[key], where + "." + key);
    }
  } else if (expected.is_array()) {
    ASSERT_TRUE(actual.is_array()) << where;
    ASSERT_EQ(expected.size(), actual.size()) << where;
    for (size_t i = 0; i < expected.size(); ++i) {
      ExpectContains(expected[i], actual[i], where + "[" + std::to_string(i) + "]");
    }
  } else {
    EXPECT_EQ(expected, actual) << where;
  }
}

TEST(ListCommand, ReferenceImagesListAsTheirListingFiles) {
  const fs::path folder("akai");
  for (const char* name : {"akaiutil-s1000.img", "akaiutil-s3000.img", "builder-demo.iso", "frag-s1000.img",
                           "holes.img", "stereo.img"}) {
    SCOPED_TRACE(name);
    const ListRun run = List(testsupport::ReferenceData(folder / name), true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::ifstream listing(testsupport::ReferenceData(folder / (fs::path(name).stem().string() + ".listing.json")));
    ExpectContains(json::parse(listing), json::parse(run.out), "listing");
  }
}

DiscDescription DrumDisc() {
  DiscDescription disc;
  FileEntry pad = Filled("PAD", 's', 9000, 2);
  pad.s3000Form = true;
  disc.partitions = {
      PartitionEntry{100, {VolumeEntry{.name = "DRUMS", .files = {Filled("KICK", 's', 16150, 1), Filled("KIT", 'p', 450, 3)}},
                           VolumeEntry{.name = "EMPTY"}}},
      PartitionEntry{50, {VolumeEntry{.name = "PADS", .files = {pad}}}},
      PartitionEntry{200, {}}};
  return disc;
}

TEST(ListCommand, JsonHasTheDocumentedShape) {
  const ListRun run = List(testsupport::BuildImage(DrumDisc()), true);
  ASSERT_EQ(run.status, 0) << run.err;
  const json expected = json::parse(R"({"partitions": [
    {"letter": "A", "start": 0, "size": 100, "volumes": [
      {"name": "DRUMS", "files": [
        {"name": "KICK", "kind": "S1000Sample", "size": 16150, "start": 4},
        {"name": "KIT", "kind": "S1000Program", "size": 450, "start": 6}]},
      {"name": "EMPTY", "files": []}]},
    {"letter": "B", "start": 100, "size": 50, "volumes": [
      {"name": "PADS", "files": [{"name": "PAD", "kind": "S3000Sample", "size": 9000, "start": 2}]}]},
    {"letter": "C", "start": 150, "size": 200, "volumes": []}]})");
  EXPECT_EQ(json::parse(run.out), expected);
}

TEST(ListCommand, TextNamesPartitionsVolumesAndFiles) {
  const ListRun run = List(testsupport::BuildImage(DrumDisc()), false);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {"Partition A: start block 0, 100 blocks\n", "  Volume A/DRUMS\n",
                           "    KICK         S1000 sample       16150 bytes  block 4\n",
                           "    KIT          S1000 program        450 bytes  block 6\n",
                           "  Volume A/EMPTY\n    (no programs or samples)\n", "  Volume B/PADS\n",
                           "S3000 sample", "Partition C: start block 150, 200 blocks\n  (no volumes)\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin:\n" << run.out;
  }
}

TEST(ListCommand, CdLabelLeadsTheListing) {
  DiscDescription disc = DrumDisc();
  disc.realHeaders = true;
  disc.partitions[0].cdLabel = "SOUNDS 1";
  const fs::path image = testsupport::BuildImage(disc);
  EXPECT_EQ(List(image, false).out.rfind("Label: SOUNDS 1\nPartition A:", 0), 0u);
  EXPECT_EQ(json::parse(List(image, true).out)["label"], "SOUNDS 1");
  EXPECT_FALSE(json::parse(List(testsupport::BuildImage(DrumDisc(), "plain"), true).out).contains("label"));
}

TEST(ListCommand, RawAndCueCopiesListAsTheImage) {
  DiscDescription disc = DrumDisc();
  disc.realHeaders = true;
  const fs::path image = testsupport::BuildImage(disc, "copied");
  akaiimage::WriteRawSectorImage(image, image.parent_path() / "copy.bin", akaiimage::RawSectorMode::Mode2Form1);
  std::ofstream(image.parent_path() / "copy.cue") << akaiimage::CueSheet("copy.bin", akaiimage::RawSectorMode::Mode2Form1);
  const std::string expected = List(image, true).out;
  EXPECT_EQ(List(image.parent_path() / "copy.cue", true).out, expected);
  EXPECT_EQ(List(image.parent_path() / "copy.bin", true).out, expected);
}

TEST(ListCommand, LettersRunOnPastZ) {
  DiscDescription disc;
  disc.partitions.assign(28, PartitionEntry{4, {}});
  const ListRun run = List(testsupport::BuildImage(disc), true);
  ASSERT_EQ(run.status, 0) << run.err;
  const json listing = json::parse(run.out);
  EXPECT_EQ(listing["partitions"][25]["letter"], "Z");
  EXPECT_EQ(listing["partitions"][26]["letter"], "[");
  EXPECT_EQ(listing["partitions"][27]["letter"], "\\");
}

TEST(ListCommand, WarnsAboutPartitionsThatCannotBeRead) {
  DiscDescription disc = DrumDisc();
  disc.imageBytes = 150 * 8192;
  const fs::path image = testsupport::BuildImage(disc);
  const ListRun run = List(image, true);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(json::parse(run.out)["partitions"].size(), 2u);
  EXPECT_NE(run.err.find("warning"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(image.string()), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("partition 3 of the partition table (start block 150, 200 blocks)"), std::string::npos)
      << run.err;
}

void ExpectError(const ListRun& run, const fs::path& image, const std::string& text) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(image.string()), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
}

TEST(ListCommand, MissingFile) {
  const fs::path missing = testsupport::FreshFolder("cli") / "nothing.iso";
  ExpectError(List(missing, false), missing, "No such file");
}

TEST(ListCommand, NotAnAkaiDisc) {
  DiscDescription disc = DrumDisc();
  disc.damagedSignatureBytes = 5;
  const fs::path damaged = testsupport::BuildImage(disc, "damaged");
  ExpectError(List(damaged, false), damaged, "not an AKAI S1000/S3000 disc image");

  disc.damagedSignatureBytes = 4;  // still an AKAI disc
  EXPECT_EQ(List(testsupport::BuildImage(disc, "worn"), false).status, 0);

  const fs::path tiny = testsupport::FreshFolder("cli") / "tiny.img";
  std::ofstream(tiny) << "hello";
  ExpectError(List(tiny, true), tiny, "not an AKAI disc image");
}

TEST(ListCommand, TruncatedImages) {
  DiscDescription disc = DrumDisc();
  disc.imageBytes = 2 * 8192 + 100;  // the partition table is cut off: every disc has one
  const fs::path noTable = testsupport::BuildImage(disc, "no-table");
  ExpectError(List(noTable, false), noTable,
              "cannot read the partition table: the image is cut short (it ends at byte 16484, before the end of "
              "block 2)");

  disc.imageBytes = 3 * 8192;  // the first directory is cut off
  const fs::path noDirectory = testsupport::BuildImage(disc, "no-directory");
  const ListRun run = List(noDirectory, true);
  ExpectError(run, noDirectory,
              "volume A/DRUMS: cannot read its directory: it lies past the end of the image (block 3; the image ends "
              "at byte 24576): the image is cut short or the volume list is wrong\n");

  // Exporting the volume explains the fault in the same words.
  const ListRun exported = clitest::Capture([&](std::ostream& out, std::ostream& err) {
    return cli::RunExport({.image = noDirectory, .outputDir = testsupport::FreshFolder("out"), .partition = "A",
                           .volumeName = "DRUMS"},
                          out, err);
  });
  EXPECT_EQ(exported.status, 1);
  EXPECT_EQ(exported.err, run.err);
}

TEST(ListCommand, CorruptNames) {
  DiscDescription disc = DrumDisc();
  disc.partitions[1].volumes[0].files[0].rawName = akaiimage::RawName{11, 99, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
  const fs::path image = testsupport::BuildImage(disc, "bad-name");
  ExpectError(List(image, false), image, "volume B/PADS: cannot read its directory: the data is corrupt");
}

// The program itself: exit statuses and where its output goes.
TEST(ListCommand, ProgramExitStatuses) {
  using clitest::RunProgram;
  const fs::path folder = testsupport::FreshFolder("program");
  const fs::path image = testsupport::BuildImage(DrumDisc());
  EXPECT_EQ(RunProgram("list --json '" + image.string() + "'", folder / "ok.txt"), 0);
  std::ifstream listing(folder / "ok.txt");
  EXPECT_EQ(json::parse(listing)["partitions"].size(), 3u);

  EXPECT_EQ(RunProgram("list '" + (folder / "missing.img").string() + "'", folder / "missing.txt"), 1);
  EXPECT_NE(RunProgram("", folder / "usage.txt"), 0);
  EXPECT_NE(RunProgram("list", folder / "usage.txt"), 0);
}

}  // namespace
