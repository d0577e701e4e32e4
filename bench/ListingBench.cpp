// Listing everything on a large disc image: 10 partitions, 100 volumes, 20,000
// directory entries. Prints the sector requests one listing issues and the time per
// listed file; nothing is asserted.
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

const std::filesystem::path& LargeImage() {
  static const std::filesystem::path path = [] {
    akaiimage::DiscDescription disc;
    for (int p = 0; p < kPartitions; ++p) {
      akaiimage::PartitionEntry partition{2100, {}};
      for (int v = 0; v < kVolumesPerPartition; ++v) {
        akaiimage::VolumeEntry volume{.name = "VOLUME " + std::to_string(v)};
        for (int f = 0; f < kFilesPerVolume; ++f) {
          // Lengths without data: the blocks stay holes in the sparse image.
          volume.files.push_back({.name = "FILE " + std::to_string(f), .type = f % 10 == 0 ? 'p' : 's',
                                  .length = 1000});
        }
        partition.volumes.push_back(volume);
      }
      disc.partitions.push_back(partition);
    }
    const std::filesystem::path image = std::filesystem::temp_directory_path() / "carvox-listing-bench.img";
    akaiimage::WriteImage(disc, image);
    return image;
  }();
  return path;
}

void ListEverything(benchmark::State& state) {
  ImageFileSource image(LargeImage());
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
BENCHMARK(ListEverything)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(LargeImage());
  return 0;
}
