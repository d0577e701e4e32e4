// Exports a volume whose one program makes a 57 MB bank (50 samples of 570,000 words,
// 100 zones) with `carvox-cli export`, against the same export without banks (goal: at
// most 2.5x; each side's best of bench::kRuns runs, side by side), and prints the peak
// memory of one export of each kind, also for a volume whose bank is 14 MB (12 samples):
// the engine keeps imported words in a file, so the peak should not grow with the bank
// (goal: at most 24 MB, the two banks within 4 MB). Asserts nothing.
//
// Each disc image is written, and each measured peak taken, in a child process, so that
// every peak printed is one export's own. Everything lives in a temporary folder, the
// machine included.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "bench/BenchMeasures.h"
#include "tests/export/TestDisc.h"
#include "tools/cli/ExportCommand.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kWordsPerSample = 570000;  // 1.14 MB each
constexpr double kTimeGoal = 2.5;
constexpr double kPeakGoal = 24.0;

std::string SampleName(int i) { return "TONE " + std::to_string(i); }

void WriteDisc(const fs::path& image, int samples) {
  testexport::DiscContents disc;
  disc.program.name = "BIG";
  for (int i = 0; i < samples; ++i) {
    disc.samples.push_back(testexport::MakeSample(SampleName(i), testexport::ToneWords(kWordsPerSample, i), 4000));
  }
  // Keygroups of 4 zones; every sample is used by two zones.
  const int half = samples / 2;
  for (int k = 0; k < half; ++k) {
    const int first = 2 * k;
    disc.program.keygroups.push_back(testexport::MakeKeygroup(
        static_cast<uint8_t>(k * 5), static_cast<uint8_t>(k * 5 + 4),
        {SampleName(first), SampleName(first + 1), SampleName((first + half) % samples),
         SampleName((first + half + 1) % samples)}));
  }
  testexport::WriteProgramDisc(image, disc);
}

// Runs `work` in a child process; its peak resident memory in MB, or -1 when it failed.
double ChildPeakMegabytes(const std::function<int()>& work) {
  const pid_t child = fork();
  if (child == 0) _exit(work());
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int ExportVolume(const fs::path& image, const fs::path& output, bool banks) {
  std::ostream discard(nullptr);
  fs::remove_all(output);
  return cli::RunExport({.image = image, .outputDir = output, .partition = "A", .volumeIndex = 0, .noSf2 = !banks},
                        discard, discard);
}

// The size of the bank the export wrote below `folder`.
double BankMegabytes(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".sf2") return static_cast<double>(entry.file_size()) / 1e6;
  }
  return 0;
}

int Run(const fs::path& root) {
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path large = root / "large.img";
  const fs::path small = root / "small.img";
  if (ChildPeakMegabytes([&] { WriteDisc(large, 50); WriteDisc(small, 12); return 0; }) < 0) return 1;

  // The peaks first, while the benchmark's own memory is small: a child starts with it.
  const fs::path output = root / "out";
  const double largePeak = ChildPeakMegabytes([&] { return ExportVolume(large, output, true); });
  const double smallPeak = ChildPeakMegabytes([&] { return ExportVolume(small, output, true); });
  const double plainPeak = ChildPeakMegabytes([&] { return ExportVolume(large, output, false); });

  int failures = 0;
  const std::vector<double> best = bench::BestOfEach(
      {[&] { failures += ExportVolume(large, output, true) != 0; },
       [&] { failures += ExportVolume(large, output, false) != 0; }},
      [&](size_t) {
        fs::remove_all(output);
        sync();
      });
  ExportVolume(large, output, true);
  std::printf("volume of 50 samples of %zu words, 100 zones: bank %.1f MB (image %.1f MB)\n", kWordsPerSample,
              BankMegabytes(output), static_cast<double>(fs::file_size(large)) / 1e6);
  std::printf("best of %d runs each, side by side: export with the bank %.3f s, without banks %.3f s: %.2fx "
              "(goal: at most %.1fx)\n",
              bench::kRuns, best[0], best[1], best[0] / best[1], kTimeGoal);
  std::printf("peak memory of one export: 57 MB bank %.1f MB, 14 MB bank (12 samples) %.1f MB, without banks "
              "%.1f MB (goal: at most %.0f MB, the banks within 4 MB of each other)\n",
              largePeak, smallPeak, plainPeak, kPeakGoal);
  return failures == 0 && largePeak > 0 && smallPeak > 0 && plainPeak > 0 ? 0 : 1;
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "carvox-soundbank-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  int status = 1;
  try {
    status = Run(pattern);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "carvox_soundbank_bench: %s\n", error.what());
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return status;
}
