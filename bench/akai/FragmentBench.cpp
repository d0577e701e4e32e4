// Loading every sample (with its words) of a disc whose samples are all stored in
// 4..16 fragments, against the same disc with every sample in one piece. Runs of
// consecutive blocks are coalesced into the usual 24-sector requests, so the
// fragmented disc should cost little more (target: at most 1.2 times the time).
// Prints seconds, requests and the ratio; asserts nothing.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "bench/BenchMeasures.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSamples = 24;
constexpr size_t kWordsPerSample = 1000000;  // 2 MB, 245 blocks

fs::path WriteDisc(const fs::path& path, bool fragmented) {
  akaiimage::DiscDescription disc;
  disc.realHeaders = true;
  akaiimage::VolumeEntry volume{.name = "BENCH"};
  for (int i = 0; i < kSamples; ++i) {
    akaiimage::SampleDescription sample;
    sample.name = "SAMPLE " + std::to_string(i);
    sample.words.assign(kWordsPerSample, static_cast<int16_t>(i));
    akaiimage::FileEntry file{.name = sample.name, .data = akaiimage::WriteSampleFile(sample)};
    file.fragments = fragmented ? 4 + i % 13 : 1;
    volume.files.push_back(std::move(file));
  }
  disc.partitions = {akaiimage::PartitionEntry{.sizeBlocks = 7600, .volumes = {volume}}};
  akaiimage::WriteImage(disc, path);
  return path;
}

struct Run {
  double seconds = 0;
  size_t requests = 0;
};

// The best of three passes over every sample.
Run LoadAll(const fs::path& image) {
  Run best{1e9, 0};
  for (int pass = 0; pass < 3; ++pass) {
    ImageFileSource file(image);
    testsupport::CountingSource counting(file);
    AkaiVolumeReader reader(counting);
    reader.ReadFiles(0, 0);
    const double seconds = bench::Seconds([&] {
      for (int i = 0; i < kSamples; ++i) reader.LoadSample(0, 0, ("SAMPLE " + std::to_string(i)).c_str(), true);
    });
    if (seconds < best.seconds) best = {seconds, counting.requests().size()};
  }
  return best;
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path();
  const fs::path whole = WriteDisc(folder / "carvox-fragment-bench-whole.img", false);
  const fs::path pieces = WriteDisc(folder / "carvox-fragment-bench-pieces.img", true);
  const Run a = LoadAll(whole);
  const Run b = LoadAll(pieces);
  std::printf("%d samples of %zu words\n", kSamples, kWordsPerSample);
  std::printf("in one piece:      %.3f s, %zu requests\n", a.seconds, a.requests);
  std::printf("in 4..16 pieces:   %.3f s, %zu requests\n", b.seconds, b.requests);
  std::printf("ratio: %.2f (target <= 1.2)\n", b.seconds / a.seconds);
  fs::remove(whole);
  fs::remove(pieces);
  return 0;
}
