// What SFZ and Decent Sampler presets add to an export: the large benchmark disc (the
// demo-disc generator's, MEGABYTES of sample data, 320 by default), each volume given
// a program that plays its ten samples, is exported with `--all` as WAV files alone
// and as WAV files with both presets for every program, alternately; the best of five
// runs each counts. Prints the figures (the goal: presets add at most 5 %); asserts nothing.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>

#include "bench/BenchMeasures.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/cli/ExportCommand.h"
#include "tools/demodisc/DemoDisc.h"

namespace fs = std::filesystem;

namespace {

constexpr double kSecondsPerSample = 68.0;  // 6 MB per sample, as the export benchmark

// A program over the volume's samples, one keygroup of two velocity zones each.
akaiimage::FileEntry ProgramOver(const akaiimage::VolumeEntry& volume) {
  akaiimage::ProgramDescription program;
  program.name = "PLAYS ALL";
  for (size_t s = 0; s < volume.files.size(); ++s) {
    akaiimage::KeygroupDescription keygroup;
    keygroup.lowKey = static_cast<uint8_t>(12 * s);
    keygroup.highKey = static_cast<uint8_t>(12 * s + 11);
    keygroup.zones = {{.sampleName = volume.files[s].name, .highVelocity = 63},
                      {.sampleName = volume.files[s].name, .lowVelocity = 64, .semitoneTune = 1}};
    program.keygroups.push_back(keygroup);
  }
  akaiimage::FileEntry file;
  file.name = program.name;
  file.type = 'p';
  file.data = akaiimage::WriteProgramFile(program);
  return file;
}

akaiimage::DiscDescription DiscWithPrograms(int samples) {
  akaiimage::DiscDescription disc = demodisc::LargeDisc(samples, kSecondsPerSample);
  for (akaiimage::PartitionEntry& partition : disc.partitions) {
    for (akaiimage::VolumeEntry& volume : partition.volumes) {
      volume.files.push_back(ProgramOver(volume));
      ++partition.sizeBlocks;  // the program takes one block
    }
  }
  return disc;
}

struct Timing {
  double seconds = 1e9;
  int status = 0;
  size_t files = 0;
};

// One more export with `formats` into an empty `output`; `best` keeps the fastest.
void TimeExport(const fs::path& image, const fs::path& output, const std::string& formats, Timing& best) {
  std::ostream discard(nullptr);
  fs::remove_all(output);
  sync();
  best.seconds = std::min(best.seconds, bench::Seconds([&] {
    best.status = cli::RunExport({.image = image, .outputDir = output, .all = true, .noSf2 = true, .formats = formats},
                                 discard, discard);
  }));
  best.files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(output)) best.files += entry.is_regular_file() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 320.0;
  std::string pattern = (fs::temp_directory_path() / "carvox-preset-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  int status = 0;
  try {
    const int samples = std::max(1, static_cast<int>(megabytes / (2.0 * 44100 * kSecondsPerSample / 1e6) + 0.999));
    const fs::path image = root / "large.img";
    akaiimage::WriteImage(DiscWithPrograms(samples), image);
    // Alternated, so that both see the same load of the machine; the best of five counts.
    Timing wavs, presets;
    for (int round = 0; round < 5; ++round) {
      TimeExport(image, root / "out", "sf2", wavs);
      TimeExport(image, root / "out", "sfz,dspreset", presets);
    }
    std::printf("%d samples, %.0f MB of sample data, one program per ten samples\n", samples, megabytes);
    std::printf("export of the WAV files:              %.3f s (%zu files, exit status %d)\n", wavs.seconds,
                wavs.files, wavs.status);
    std::printf("export of the WAV files and presets:  %.3f s (%zu files, exit status %d)\n", presets.seconds,
                presets.files, presets.status);
    std::printf("presets add %.1f %% (goal: at most 5 %%)\n", 100.0 * (presets.seconds - wavs.seconds) / wavs.seconds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "carvox_preset_bench: %s\n", error.what());
    status = 1;
  }
  fs::remove_all(root);
  return status;
}
