// Exports every sample of a large disc image (320 MB of sample data by default, or the
// megabytes given as the only argument) as WAV files and compares the rate with the
// read-and-write limit of this machine, measured in the same run: copying the image
// into the output folder with `dd bs=64k`. Prints the figures and the peak memory of
// the export (which the largest sample should bound, not the image); asserts nothing.
//
// The image is written by a child process, so that the peak memory printed is the
// export's own. Everything lives in a temporary folder that is removed at the end.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>

#include "bench/BenchMeasures.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"
#include "tools/cli/ExportCommand.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kWordsPerSample = 3'000'000;  // 6 MB per sample
constexpr int kPartitions = 2;
constexpr uint64_t kBlockBytes = 8192;

// `samples` samples spread over two partitions and a few volumes each.
void WriteImage(const fs::path& image, int samples) {
  akaiimage::DiscDescription disc;
  int next = 0;
  for (int p = 0; p < kPartitions; ++p) {
    akaiimage::PartitionEntry partition;
    const int here = samples / kPartitions + (p < samples % kPartitions ? 1 : 0);
    uint64_t blocks = 8;
    for (int s = 0; s < here; ++s, ++next) {
      if (s % 10 == 0) partition.volumes.push_back({.name = "VOLUME " + std::to_string(partition.volumes.size())});
      akaiimage::SampleDescription sample;
      sample.name = "TONE " + std::to_string(next);
      sample.words.resize(kWordsPerSample);
      for (size_t i = 0; i < kWordsPerSample; ++i) sample.words[i] = static_cast<int16_t>((i * (next + 3)) % 30000 - 15000);
      akaiimage::FileEntry file;
      file.name = sample.name;
      file.data = akaiimage::WriteSampleFile(sample);
      blocks += 1 + (file.data.size() + kBlockBytes - 1) / kBlockBytes;
      partition.volumes.back().files.push_back(std::move(file));
    }
    partition.sizeBlocks = static_cast<uint16_t>(blocks);
    disc.partitions.push_back(std::move(partition));
  }
  akaiimage::WriteImage(disc, image);
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 320.0;
  const int samples = std::max(1, static_cast<int>(megabytes * 1e6 / (2.0 * kWordsPerSample) + 0.999));
  std::string pattern = (fs::temp_directory_path() / "carvox-export-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path image = root / "large.img";
  const fs::path output = root / "out";

  const pid_t child = fork();
  if (child == 0) {
    WriteImage(image, samples);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  fs::create_directories(output);
  const double sampleMegabytes = samples * 2.0 * kWordsPerSample / 1e6;
  const double imageMegabytes = static_cast<double>(fs::file_size(image)) / 1e6;
  std::printf("image: %.1f MB, %d samples of %.1f MB (%.1f MB of sample data)\n", imageMegabytes, samples,
              2.0 * kWordsPerSample / 1e6, sampleMegabytes);

  // The image's dirty pages are flushed first, so that neither measurement pays for
  // them; each is taken twice, alternately, and the better time counts.
  sync();
  const std::string dd = "dd if='" + image.string() + "' of='" + (output / "copy.img").string() +
                         "' bs=64k status=none";
  double copySeconds = 1e9;
  double exportSeconds = 1e9;
  const double before = bench::PeakMegabytes();
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
              before, 2.0 * kWordsPerSample / 1e6, imageMegabytes);
  fs::remove_all(root);
  return exportStatus;
}
