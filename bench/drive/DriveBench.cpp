// Reading through a virtual drive against reading the image file: the whole image in
// the 252-sector requests the volume reader makes (goal at most 3x), and `export --all` from the drive against the same export
// from the file (goal at most 1.25x). Each side's best of bench::kRuns runs, side by
// side, counts. Prints the figures; asserts nothing.
//
// The disc (64 MB by default, or the megabytes given as the only argument) and the
// machine live in a temporary folder that is removed on every way out.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
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

constexpr uint8_t kSectorsPerRequest = 252;  // 63 blocks, as the volume reader asks

// Reads every whole request of the disc.
void ReadAll(SectorSource& source, uint64_t bytes) {
  std::vector<uint8_t> buffer(kSectorsPerRequest * SectorSource::kSectorSize);
  const uint32_t requests = static_cast<uint32_t>(bytes / buffer.size());
  for (uint32_t r = 0; r < requests; ++r) source.ReadSectors(r * kSectorsPerRequest, buffer.data(), kSectorsPerRequest);
}

// The export's exit status.
int ExportAll(const fs::path& disc, const fs::path& output) {
  std::ostream discard(nullptr);
  return cli::RunExport({.image = disc, .outputDir = output, .all = true}, discard, discard);
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
  const std::unique_ptr<SectorSource> drive = cli::OpenDrive(letter);
  const std::vector<double> reads =
      bench::BestOfEach({[&] { ReadAll(file, bytes); }, [&] { ReadAll(*drive, bytes); }});
  std::printf("best of %d runs each, side by side:\n", bench::kRuns);
  std::printf("  whole disc, %u-sector reads: file %.3f s, drive %.3f s: %.2fx (goal: at most 3x)\n",
              kSectorsPerRequest, reads[0], reads[1], reads[1] / reads[0]);

  const fs::path fromFile = root / "from-file";
  const fs::path fromDrive = root / "from-drive";
  int statuses[2] = {};
  const std::vector<double> exports =
      bench::BestOfEach({[&] { statuses[0] |= ExportAll(image, fromFile); },
                         [&] { statuses[1] |= ExportAll(std::string(1, letter) + ":", fromDrive); }},
                        [&](size_t) {
                          fs::remove_all(fromFile);
                          fs::remove_all(fromDrive);
                          sync();
                        });
  std::printf("  export --all: file %.3f s, drive %.3f s: %.2fx (goal: at most 1.25x; exit statuses %d, %d)\n",
              exports[0], exports[1], exports[1] / exports[0], statuses[0], statuses[1]);
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
