// Exports every sample of a large disc image (320 MB of sample data by default, or the
// megabytes given as the only argument) as WAV files and compares the time with two
// floors measured in the same run: copying the image into the output folder with
// `dd bs=64k` (reading and writing as many bytes), and copying the exported files with
// `cp -r` (creating as many files). Each side's best of bench::kRuns runs counts.
// Prints the figures and the peak memory of the export (which the largest sample
// should bound, not the image); asserts nothing.
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
constexpr double kGoal = 1.25;              // export time / dd time

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

int CountFiles(const fs::path& folder) {
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files += entry.is_regular_file() ? 1 : 0;
  return files;
}

int Run(const fs::path& root, double megabytes) {
  const double megabytesPerSample = 2.0 * kSampleRate * kSecondsPerSample / 1e6;
  const int samples = std::max(1, static_cast<int>(megabytes / megabytesPerSample + 0.999));
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path image = root / "large.img";
  const fs::path copy = root / "copy.img";
  const fs::path output = root / "out";
  const fs::path exported = root / "exported";
  const fs::path copied = root / "copied";
  if (!WriteImage(image, samples)) return 1;
  const double sampleMegabytes = SampleMegabytes(image);
  const double imageMegabytes = static_cast<double>(fs::file_size(image)) / 1e6;
  std::printf("image: %.1f MB, %d samples of %.1f MB (%.1f MB of sample data)\n", imageMegabytes, samples,
              megabytesPerSample, sampleMegabytes);

  std::ostream discard(nullptr);
  const auto exportTo = [&](const fs::path& folder) {
    return cli::RunExport({.image = image, .outputDir = folder, .all = true, .noSf2 = true}, discard, discard);
  };
  const double before = bench::PeakMegabytes();
  // The files `cp -r` copies: one export made beforehand.
  const int exportStatus = exportTo(exported);
  const std::string dd = "dd if='" + image.string() + "' of='" + copy.string() + "' bs=64k status=none";
  const std::string cp = "cp -r '" + exported.string() + "' '" + copied.string() + "'";
  int failures = 0;
  // Before every run, what the last one wrote goes and dirty pages are flushed, so that
  // no run pays for another's.
  const std::vector<double> best = bench::BestOfEach(
      {[&] { failures += std::system(dd.c_str()) != 0; }, [&] { failures += exportTo(output) != 0; },
       [&] { failures += std::system(cp.c_str()) != 0; }},
      [&](size_t) {
        for (const fs::path& path : {copy, output, copied}) fs::remove_all(path);
        sync();
      });
  const double peak = bench::PeakMegabytes();

  std::printf("best of %d runs each, side by side:\n", bench::kRuns);
  std::printf("  dd bs=64k copy of the image:  %.3f s, %.0f MB/s\n", best[0], imageMegabytes / best[0]);
  std::printf("  export of every sample:       %.3f s, %.0f MB/s (%d files; exit status %d)\n", best[1],
              sampleMegabytes / best[1], CountFiles(exported), exportStatus);
  std::printf("  cp -r of the exported files:  %.3f s (the floor for creating them)\n", best[2]);
  std::printf("export / dd: %.2fx (goal: at most %.2fx); export / cp -r: %.2fx\n", best[1] / best[0], kGoal,
              best[1] / best[2]);
  std::printf("peak memory: %.1f MB (%.1f MB before exporting; largest sample %.1f MB, image %.1f MB)\n", peak,
              before, megabytesPerSample, imageMegabytes);
  return exportStatus != 0 || failures != 0 ? 1 : 0;
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
