// Reading through a virtual drive against reading the image file: the whole image in
// the 24-sector requests the volume reader makes (one hand-off to the layer's worker per
// 48 KB; goal at most 3x), and `export --all` from the drive against the same export
// from the file (goal at most 1.25x). Prints the figures; asserts nothing.
//
// The disc (64 MB by default, or the megabytes given as the only argument) and the
// machine live in a temporary folder that is removed on every way out.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <vector>

#include "akai/ImageFileSource.h"
#include "bench/BenchMeasures.h"
#include "platform/aspi/DriveTable.h"
#include "tools/cli/DriveAccess.h"
#include "tools/cli/ExportCommand.h"
#include "tools/demodisc/DemoDisc.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kSectorsPerRequest = 24;

// Reads every whole request of the disc; the better of two rounds counts.
double ReadAll(SectorSource& source, uint64_t bytes) {
  std::vector<uint8_t> buffer(kSectorsPerRequest * SectorSource::kSectorSize);
  const uint32_t requests = static_cast<uint32_t>(bytes / buffer.size());
  double best = 1e9;
  for (int round = 0; round < 2; ++round) {
    best = std::min(best, bench::Seconds([&] {
                      for (uint32_t r = 0; r < requests; ++r) {
                        source.ReadSectors(r * kSectorsPerRequest, buffer.data(), kSectorsPerRequest);
                      }
                    }));
  }
  return best;
}

double ExportAll(const fs::path& disc, const fs::path& output) {
  std::ostream discard(nullptr);
  double best = 1e9;
  for (int round = 0; round < 2; ++round) {
    fs::remove_all(output);
    best = std::min(best, bench::Seconds([&] {
                      cli::RunExport({.image = disc, .outputDir = output, .all = true}, discard, discard);
                    }));
  }
  return best;
}

int Run(const fs::path& root, double megabytes) {
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path image = root / "disc.img";
  const int samples = std::max(1, static_cast<int>(megabytes / 6.0 + 0.5));
  akaiimage::WriteImage(demodisc::LargeDisc(samples, 68.0), image);
  const char letter = aspi::MountImage(image, 0);
  const uint64_t bytes = fs::file_size(image);
  std::printf("disc: %.1f MB, mounted as %c:\n", static_cast<double>(bytes) / 1e6, letter);

  ImageFileSource file(image);
  const double fileRead = ReadAll(file, bytes);
  const double driveRead = ReadAll(*cli::OpenDrive(letter), bytes);
  std::printf("whole disc, %u-sector reads: file %.3f s, drive %.3f s: %.2fx (goal: at most 3x)\n",
              kSectorsPerRequest, fileRead, driveRead, driveRead / fileRead);

  const double fileExport = ExportAll(image, root / "from-file");
  const double driveExport = ExportAll(std::string(1, letter) + ":", root / "from-drive");
  std::printf("export --all: file %.3f s, drive %.3f s: %.2fx (goal: at most 1.25x)\n", fileExport, driveExport,
              driveExport / fileExport);
  aspi::UnmountDrive(letter);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 64.0;
  std::string pattern = (fs::temp_directory_path() / "carvox-drive-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  int status = 1;
  try {
    status = Run(pattern, megabytes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "carvox_drive_bench: %s\n", error.what());
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
