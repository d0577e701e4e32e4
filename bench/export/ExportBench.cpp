// Exports every sample of a large disc image (320 MB of sample data by default, or the
// megabytes given as the only argument) as WAV files and compares the rate with the
// read-and-write limit of this machine, measured in the same run: copying the image
// into the output folder with `dd bs=64k`. Prints the figures and the peak memory of
// the export (which the largest sample should bound, not the image); asserts nothing.
//
// The image is written by a child process with the demo-disc generator's large disc,
// so that the peak memory printed is the export's own. Everything lives in a temporary
// folder that is removed on every way out.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>

#include "bench/BenchMeasures.h"
#include "tools/cli/DiscListing.h"
#include "tools/cli/ExportCommand.h"
#include "tools/demodisc/DemoDisc.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSampleRate = 44100;
constexpr double kSecondsPerSample = 68.0;  // 6 MB per sample

// The benchmark's temporary folder, removed when the guard goes.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "carvox-export-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // Empty when the folder could not be made.
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Writes the image in a child process; returns whether it was written.
bool WriteImage(const fs::path& image, int samples) {
  const pid_t child = fork();
  if (child == 0) {
    try {
      akaiimage::WriteImage(demodisc::LargeDisc(samples, kSecondsPerSample), image);
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The bytes of sample files on the image, as the export reads them.
double SampleMegabytes(const fs::path& image) {
  cli::OpenedDisc disc(image);
  double bytes = 0;
  for (const cli::PartitionListing& partition : cli::ListDisc(disc).partitions) {
    for (const cli::VolumeListing& volume : partition.volumes) {
      for (const cli::FileListing& file : volume.files) bytes += file.size;
    }
  }
  return bytes / 1e6;
}

int Run(const fs::path& root, double megabytes) {
  const double megabytesPerSample = 2.0 * kSampleRate * kSecondsPerSample / 1e6;
  const int samples = std::max(1, static_cast<int>(megabytes / megabytesPerSample + 0.999));
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path image = root / "large.img";
  const fs::path output = root / "out";
  if (!WriteImage(image, samples)) return 1;
  fs::create_directories(output);
  const double sampleMegabytes = SampleMegabytes(image);
  const double imageMegabytes = static_cast<double>(fs::file_size(image)) / 1e6;
  std::printf("image: %.1f MB, %d samples of %.1f MB (%.1f MB of sample data)\n", imageMegabytes, samples,
              megabytesPerSample, sampleMegabytes);

  // The image's dirty pages are flushed first, so that neither measurement pays for
  // them; each is taken twice, alternately, and the better time counts.
  sync();
  const std::string dd = "dd if='" + image.string() + "' of='" + (output / "copy.img").string() +
                         "' bs=64k status=none";
  double copySeconds = 1e9;
  double exportSeconds = 1e9;
  const double before = bench::PeakMegabytes();
  int status = 0;
  int exportStatus = 0;
  std::ostream discard(nullptr);
  for (int round = 0; round < 2; ++round) {
    copySeconds = std::min(copySeconds, bench::Seconds([&] { status = std::system(dd.c_str()); }));
    if (status != 0) return 1;
    fs::remove_all(output);
    sync();
    exportSeconds = std::min(exportSeconds, bench::Seconds([&] {
      exportStatus = cli::RunExport({.image = image, .outputDir = output, .all = true, .noSf2 = true}, discard, discard);
    }));
    fs::remove_all(output);
    fs::create_directories(output);
    sync();
  }
  const double peak = bench::PeakMegabytes();

  const double copyRate = imageMegabytes / copySeconds;
  const double exportRate = sampleMegabytes / exportSeconds;
  std::printf("dd bs=64k copy of the image: %.2f s, %.0f MB/s\n", copySeconds, copyRate);
  std::printf("export of every sample:      %.2f s, %.0f MB/s (exit status %d)\n", exportSeconds, exportRate,
              exportStatus);
  std::printf("export time per MB / copy time per MB: %.2fx (goal: at most 1.5x)\n", copyRate / exportRate);
  std::printf("peak memory: %.1f MB (%.1f MB before the export; largest sample %.1f MB, image %.1f MB)\n", peak,
              before, megabytesPerSample, imageMegabytes);
  return exportStatus;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 320.0;
  const TemporaryFolder root;
  if (root.path().empty()) return 1;
  try {
    return Run(root.path(), megabytes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "carvox_export_bench: %s\n", error.what());
    return 1;
  }
}
