// Listing everything on a large disc image: 10 partitions, 100 volumes, 20,000
// directory entries; and the same as real media lay it out (partition headers with a
// FAT, S3000 volumes of 400 files in two-block directories, a CD label). Prints the
// sector requests one listing issues (one per volume list and one per directory block)
// and the time per listed file; nothing is asserted.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "akai/ImageFileSource.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tools/akaiimage/AkaiImageBuilder.h"
#include "tools/cli/DiscListing.h"

namespace {

constexpr int kPartitions = 10;
constexpr int kVolumesPerPartition = 10;
constexpr int kFilesPerVolume = 200;

// `realMedia`: headers with a FAT, 400 files per volume in two-block directories.
std::filesystem::path WriteLargeImage(bool realMedia) {
  akaiimage::DiscDescription disc;
  disc.realHeaders = realMedia;
  const int filesPerVolume = realMedia ? 400 : kFilesPerVolume;
  for (int p = 0; p < kPartitions; ++p) {
    akaiimage::PartitionEntry partition{2100, {}};
    if (realMedia) partition.cdLabel = "BENCH DISC";
    for (int v = 0; v < kVolumesPerPartition; ++v) {
      akaiimage::VolumeEntry volume{.name = "VOLUME " + std::to_string(v)};
      if (realMedia) {
        volume.type = 3;
        volume.directoryBlocks = 2;
      }
      for (int f = 0; f < filesPerVolume; ++f) {
        // Lengths without data: the blocks stay holes in the sparse image.
        volume.files.push_back({.name = "FILE " + std::to_string(f), .type = f % 10 == 0 ? 'p' : 's',
                                .s3000Form = realMedia, .length = realMedia ? 0u : 1000u});
      }
      partition.volumes.push_back(volume);
    }
    disc.partitions.push_back(partition);
  }
  const std::filesystem::path image = std::filesystem::temp_directory_path() /
                                      (realMedia ? "carvox-listing-bench-real.img" : "carvox-listing-bench.img");
  akaiimage::WriteImage(disc, image);
  return image;
}

const std::filesystem::path& LargeImage(bool realMedia) {
  static const std::filesystem::path plain = WriteLargeImage(false);
  static const std::filesystem::path real = WriteLargeImage(true);
  return realMedia ? real : plain;
}

void ListEverything(benchmark::State& state) {
  ImageFileSource image(LargeImage(state.range(0) != 0));
  testsupport::CountingSource counting(image);
  size_t files = 0;
  for (auto _ : state) {
    counting.Forget();
    AkaiVolumeReader reader(counting);
    const cli::DiscListing listing = cli::ListDisc(reader);
    files = 0;
    for (const auto& partition : listing.partitions) {
      for (const auto& volume : partition.volumes) files += volume.files.size();
    }
    benchmark::DoNotOptimize(files);
  }
  state.counters["requests"] = static_cast<double>(counting.requests().size());
  state.counters["files"] = static_cast<double>(files);
  state.counters["time_per_file"] =
      benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ListEverything)->ArgName("realMedia")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(LargeImage(false));
  std::filesystem::remove(LargeImage(true));
  return 0;
}
