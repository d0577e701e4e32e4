// Builds a bank from a program of 100 zones over 50 distinct samples (about 50 MB of
// audio) with the real engine, and exports the same samples as WAV files for
// comparison. Prints wall time and peak memory; asserts nothing.
//
// The disc image is written by a child process, so that the peak memory printed is
// the build's own. Everything lives in a temporary folder, the machine included.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchMeasures.h"
#include "audio/WavFile.h"
#include "export/SoundBankBuilder.h"
#include "tests/export/TestDisc.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSamples = 50;
constexpr size_t kWordsPerSample = 500000;  // 1 MB each

std::string SampleName(int i) { return "TONE " + std::to_string(i); }

void WriteDisc(const fs::path& image) {
  testexport::DiscContents disc;
  disc.program.name = "BIG";
  for (int i = 0; i < kSamples; ++i) {
    disc.samples.push_back(testexport::MakeSample(SampleName(i), testexport::ToneWords(kWordsPerSample, i), 4000));
  }
  // 25 keygroups of 4 zones; every sample is used by two zones.
  for (int k = 0; k < 25; ++k) {
    const int first = (2 * k) % kSamples;
    disc.program.keygroups.push_back(testexport::MakeKeygroup(
        static_cast<uint8_t>(k * 5), static_cast<uint8_t>(k * 5 + 4),
        {SampleName(first), SampleName(first + 1), SampleName((first + 25) % kSamples),
         SampleName((first + 26) % kSamples)}));
  }
  testexport::WriteProgramDisc(image, disc);
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "carvox-soundbank-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  setenv("CARVOX_MACHINE", (root / "machine").c_str(), 1);
  const fs::path image = root / "big.img";

  const pid_t child = fork();
  if (child == 0) {
    WriteDisc(image);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  std::printf("disc image: %.1f MB, %d samples of %zu words, 100 zones\n",
              static_cast<double>(fs::file_size(image)) / 1e6, kSamples, kWordsPerSample);

  testexport::OpenDisc disc(image);
  const double baseline = bench::PeakMegabytes();
  SoundBankBuilder builder;
  builder.LoadEngine();
  int built = 0;
  const double bankSeconds = bench::Seconds([&] {
    built = builder.BuildSoundBank(disc.reader(), 0, 0, "BIG", root / "big.sf2", nullptr);
  });
  const double bankPeak = bench::PeakMegabytes();
  std::printf("bank build: result %d, %.2f s, bank %.1f MB, peak memory %.1f MB (%.1f MB before)\n",
              built, bankSeconds,
              fs::exists(root / "big.sf2") ? static_cast<double>(fs::file_size(root / "big.sf2")) / 1e6 : 0.0,
              bankPeak, baseline);

  fs::create_directories(root / "wav");
  const double wavSeconds = bench::Seconds([&] {
    for (int i = 0; i < kSamples; ++i) {
      disc.reader().LoadSample(0, 0, SampleName(i).c_str(), true);
      WriteWavFile(disc.reader().sample(), root / "wav" / (SampleName(i) + ".wav"), false);
    }
  });
  std::printf("WAV export of the same %d samples: %.2f s (bank build takes %.2fx as long)\n",
              kSamples, wavSeconds, bankSeconds / wavSeconds);

  fs::remove_all(root);
  return built == 1 ? 0 : 1;
}
