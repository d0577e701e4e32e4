// Exporting every sample of a disc whose samples are all stored in 4..16 fragments,
// against the same disc with every sample in one piece; and loading them alone. Runs of
// consecutive blocks are coalesced into the usual 252-sector requests, so the
// fragmented disc should cost little more (target: at most 1.2 times the time).
// Prints seconds, requests and the ratios; asserts nothing.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "bench/BenchMeasures.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"
#include "tools/cli/ExportCommand.h"

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

// The best of two `carvox-cli export --all --no-sf2` runs into a scratch folder.
double ExportAll(const fs::path& image) {
  double best = 1e9;
  const fs::path out = image.string() + ".export";
  for (int pass = 0; pass < 2; ++pass) {
    fs::remove_all(out);
    std::ostringstream ignored;
    const cli::ExportOptions options{.image = image, .outputDir = out, .all = true, .noSf2 = true};
    int status = 0;
    best = std::min(best, bench::Seconds([&] { status = cli::RunExport(options, ignored, ignored); }));
    if (status != 0) std::printf("export of %s failed (status %d)\n", image.c_str(), status);
  }
  fs::remove_all(out);
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
  std::printf("load ratio: %.2f\n", b.seconds / a.seconds);
  const double exportWhole = ExportAll(whole);
  const double exportPieces = ExportAll(pieces);
  std::printf("export --all, in one piece: %.3f s; in 4..16 pieces: %.3f s; ratio %.2f (target <= 1.2)\n",
              exportWhole, exportPieces, exportPieces / exportWhole);
  fs::remove(whole);
  fs::remove(pieces);
  return 0;
}
