// carvox-cli reading discs through virtual drives of the ASPI layer: every reference
// image, the demo disc and raw-sector copies, mounted, list and export exactly as the
// image files do.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/aspi/DriveTable.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/CliTestSupport.h"
#include "tools/akaiimage/RawSectorImage.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/ListCommand.h"

namespace {

namespace fs = std::filesystem;
using clitest::CliRun;

// The demo disc, every reference image, and raw-sector copies of two of them: one
// found by its sync pattern, one through its cue sheet.
std::vector<fs::path> Discs() {
  std::vector<fs::path> discs{CARVOX_DEMO_DISC};
  for (const fs::directory_entry& entry : fs::directory_iterator(testsupport::ReferenceData("akai"))) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".img" || extension == ".iso") discs.push_back(entry.path());
  }
  std::sort(discs.begin() + 1, discs.end());
  const fs::path copies = testsupport::FreshFolder("raw-copies");
  const fs::path akai = testsupport::ReferenceData("akai");
  akaiimage::WriteRawSectorImage(akai / "stereo.img", copies / "stereo-raw.bin", akaiimage::RawSectorMode::Mode1);
  akaiimage::WriteRawSectorImage(akai / "holes.img", copies / "holes-raw.bin", akaiimage::RawSectorMode::Mode2Form1);
  std::ofstream(copies / "holes-raw.cue") << akaiimage::CueSheet("holes-raw.bin", akaiimage::RawSectorMode::Mode2Form1);
  discs.push_back(copies / "stereo-raw.bin");
  discs.push_back(copies / "holes-raw.cue");
  return discs;
}

CliRun List(const fs::path& disc) {
  return clitest::Capture([&](std::ostream& out, std::ostream& err) { return cli::RunList({disc, true}, out, err); });
}

void ExportAll(const fs::path& disc, const fs::path& folder) {
  std::ostringstream out, err;
  const int status = cli::RunExport({.image = disc, .outputDir = folder, .all = true}, out, err);
  EXPECT_EQ(status, cli::kExitSuccess) << err.str();
}

TEST(DriveEndToEnd, MountedDiscsListAndExportAsTheirImages) {
  const fs::path folder = testsupport::FreshFolder("drive-export");
  for (const fs::path& image : Discs()) {
    SCOPED_TRACE(image.string());
    const char letter = aspi::MountImage(image, 0);
    const std::string drive = std::string(1, letter) + ":";
    const CliRun fromImage = List(image);
    const CliRun fromDrive = List(drive);
    EXPECT_EQ(fromDrive.status, cli::kExitSuccess) << fromDrive.err;
    EXPECT_EQ(fromDrive.out, fromImage.out);
    const fs::path fileTree = folder / (image.stem().string() + "-image");
    const fs::path driveTree = folder / (image.stem().string() + "-drive");
    ExportAll(image, fileTree);
    ExportAll(drive, driveTree);
    EXPECT_FALSE(fs::is_empty(driveTree));
    EXPECT_EQ(std::system(("diff -r '" + fileTree.string() + "' '" + driveTree.string() + "'").c_str()), 0);
    aspi::UnmountDrive(letter);
  }
}

TEST(DriveEndToEnd, AnotherProcessSeesTheMount) {
  const fs::path folder = testsupport::FreshFolder("drive-process");
  const char letter = aspi::MountImage(CARVOX_DEMO_DISC, 'k');
  ASSERT_EQ(letter, 'K');
  EXPECT_EQ(clitest::RunProgram("drives", folder / "drives.txt"), 0);
  std::ifstream drives(folder / "drives.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(drives), {}), "K:  CARVOX   VIRTUAL DRIVE K \n");
  EXPECT_EQ(clitest::RunProgram("list --json K:", folder / "list.txt"), 0);
  std::ifstream listed(folder / "list.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(listed), {}), List(CARVOX_DEMO_DISC).out);
  aspi::UnmountDrive('K');
  EXPECT_EQ(clitest::RunProgram("list K:", folder / "gone.txt"), 1);
}

// The drive-side failures of opening a disc, each with its wording.
TEST(DriveEndToEnd, DriveFailuresAreReported) {
  const fs::path folder = testsupport::FreshFolder("drive-faults");
  const fs::path notAkai = folder / "zeros.iso";
  std::ofstream(notAkai) << std::string(8192, '\0');
  const fs::path vanishing = folder / "vanishing.iso";
  fs::copy_file(CARVOX_DEMO_DISC, vanishing);
  const char zeros = aspi::MountImage(notAkai, 0);
  const char gone = aspi::MountImage(vanishing, 0);
  fs::remove(vanishing);
  testsupport::ScriptedPrompt prompt;
  const struct {
    std::string disc;
    std::string error;
  } cases[] = {
      {"Q:", "carvox-cli: drive Q: there is no CD-ROM drive Q:"},
      {std::string(1, zeros) + ":", "not an AKAI S1000/S3000 disc (the disc signature"},
      {std::string(1, gone) + ":", "cannot read the disc: the disc image of drive " + std::string(1, gone) + ": is missing"},
      {"./Q:", "cannot open disc image './Q:'"},
  };
  for (const auto& c : cases) {
    const CliRun run = List(c.disc);
    EXPECT_EQ(run.status, cli::kExitFailure);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  }
  EXPECT_TRUE(prompt.messages().empty());  // a missing image is said at once, not offered for retry
  aspi::UnmountDrive(zeros);
  aspi::UnmountDrive(gone);
}

}  // namespace
