// The demo disc as built: what it holds, that it plays sensibly (root keys match the
// pitches, keygroups and velocity zones cover the keyboard, loops are seamless), and
// that its exported banks sound in the fluidsynth program.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "akai/DiscSignature.h"
#include "akai/ImageFileSource.h"
#include "akai/PlayLoopAndTuning.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/CliTestSupport.h"
#include "tools/cli/ExportCommand.h"
#include "tools/demodisc/DemoDisc.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemoDisc = CARVOX_DEMO_DISC;

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every program and sample of the disc with where it lies.
struct Item {
  uint16_t partition, volume;
  AkaiFile file;
};

class DemoDisc : public ::testing::Test {
 protected:
  DemoDisc() : source_(kDemoDisc), reader_(source_) {
    reader_.ReadPartitions();
    for (uint16_t p = 0; p < reader_.partitions().Count(); ++p) {
      reader_.ReadVolumes(p);
      for (uint16_t v = 0; v < reader_.volumes().Count(); ++v) {
        reader_.ReadFiles(p, v);
        for (int f = 0; f < reader_.files().Count(); ++f) items_.push_back({p, v, *reader_.files().At(f)});
      }
    }
  }

  static bool IsSample(const Item& item) { return item.file.kind == S1000Sample || item.file.kind == S3000Sample; }

  ImageFileSource source_;
  AkaiVolumeReader reader_;
  std::vector<Item> items_;
};

TEST_F(DemoDisc, IsASmallAkaiDiscWrittenTheSameWayEveryTime) {
  const std::string bytes = FileBytes(kDemoDisc);
  EXPECT_TRUE(HasAkaiSignature(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  EXPECT_LT(bytes.size(), 4u << 20);
  const fs::path again = testsupport::FreshFolder("demo") / "again.iso";
  demodisc::WriteDemoDisc(again);
  EXPECT_TRUE(FileBytes(again) == bytes);
  EXPECT_GE(reader_.partitions().Count(), 2);
}

TEST_F(DemoDisc, HoldsBothSampleFormsAtEveryRateLoopedAndOneShot) {
  std::set<std::pair<int, int>> formAndRate;
  int looped = 0, oneShot = 0;
  for (const Item& item : items_) {
    if (!IsSample(item)) continue;
    reader_.LoadSample(item.partition, item.volume, item.file.name, false);
    const AkaiSample& sample = reader_.sample();
    formAndRate.insert({item.file.kind, sample.sampleRate});
    (FindPlayLoop(sample).length != 0 ? looped : oneShot) += 1;
    if (item.file.kind == S3000Sample) {
      EXPECT_EQ(item.file.length, 192 + 2 * sample.sampleCount) << item.file.name << ": the header real media carry";
    }
  }
  for (int kind : {S1000Sample, S3000Sample}) {
    for (int rate : {22050, 32000, 44100}) EXPECT_EQ(formAndRate.count({kind, rate}), 1u) << kind << " " << rate;
  }
  EXPECT_GE(looped, 3);
  EXPECT_GE(oneShot, 3);
}

// A seamless loop: the step from its last word back to its first is no larger than the
// steps inside it.
TEST_F(DemoDisc, LoopsAreSeamless) {
  for (const Item& item : items_) {
    if (!IsSample(item)) continue;
    reader_.LoadSample(item.partition, item.volume, item.file.name, true);
    const AkaiSample& sample = reader_.sample();
    const PlayLoop loop = FindPlayLoop(sample);
    if (loop.length == 0) continue;
    const int16_t* words = sample.data.get();
    const uint32_t last = loop.start + loop.length - 1;
    ASSERT_LT(last, sample.sampleCount);
    int largestStep = 0;
    for (uint32_t i = loop.start; i < last; ++i) largestStep = std::max(largestStep, std::abs(words[i + 1] - words[i]));
    EXPECT_LE(std::abs(words[loop.start] - words[last]), largestStep) << item.file.name;
  }
}

// Normalized correlation of the words with themselves `lag` words later (linear
// interpolation between words), from the middle of the sample on.
double Correlation(const AkaiSample& sample, double lag) {
  const int16_t* w = sample.data.get();
  double xy = 0, xx = 0, yy = 0;
  for (uint32_t i = sample.sampleCount / 2; i + lag + 1 < sample.sampleCount; ++i) {
    const double at = i + lag;
    const auto whole = static_cast<uint32_t>(at);
    const double y = w[whole] + (at - whole) * (w[whole + 1] - w[whole]);
    xy += w[i] * y;
    xx += static_cast<double>(w[i]) * w[i];
    yy += y * y;
  }
  return xy / std::sqrt(xx * yy);
}

// Keygroups cover the keyboard without gaps or overlaps, each zone's root key lies in
// its keygroup, velocity zones cover 0..127, and every sample sounds at its root key's
// pitch: it repeats after one period of that pitch and not after half of one.
TEST_F(DemoDisc, ProgramsPlaySensiblyAcrossTheKeyboard) {
  int programs = 0;
  uint32_t mostZones = 0;
  for (const Item& item : items_) {
    if (IsSample(item)) continue;
    ++programs;
    SCOPED_TRACE(item.file.name);
    reader_.LoadProgram(item.partition, item.volume, item.file.name);
    const AkaiProgram& program = reader_.program();
    ASSERT_GE(program.keygroups.Count(), 2);
    int nextKey = 0;
    for (int k = 0; k < program.keygroups.Count(); ++k) {
      const AkaiKeygroup& keygroup = *program.keygroups.At(k);
      EXPECT_EQ(keygroup.lowKey(), nextKey);
      nextKey = keygroup.highKey() + 1;
      mostZones = std::max(mostZones, keygroup.zoneCount);
      int nextVelocity = 0;
      for (uint32_t z = 0; z < keygroup.zoneCount; ++z) {
        const AkaiVelocityZone& zone = keygroup.zones[z];
        EXPECT_EQ(zone.lowVelocity, nextVelocity);
        nextVelocity = zone.highVelocity + 1;
        reader_.LoadSample(item.partition, item.volume, zone.sampleName, true);
        const AkaiSample& sample = reader_.sample();
        EXPECT_GE(sample.originalKey, keygroup.lowKey()) << zone.sampleName;
        EXPECT_LE(sample.originalKey, keygroup.highKey()) << zone.sampleName;
        const double period = sample.sampleRate / (440.0 * std::pow(2.0, (sample.originalKey - 69) / 12.0));
        EXPECT_GT(Correlation(sample, period), 0.9) << zone.sampleName;
        EXPECT_LT(Correlation(sample, period / 2), 0.5) << zone.sampleName;
      }
      EXPECT_EQ(nextVelocity, 128);
    }
    EXPECT_EQ(nextKey, 128);
  }
  EXPECT_EQ(programs, 2);
  EXPECT_GE(mostZones, 3u);
}

// A format-0 MIDI file: `key` at `velocity` for half a second (96 ticks at 120 bpm).
void WriteNote(const fs::path& path, int key, int velocity) {
  const std::string track = {0,          '\x90', static_cast<char>(key), static_cast<char>(velocity),
                             '\x60',     '\x80', static_cast<char>(key), 0,
                             0,          '\xFF', '\x2F',                 0};
  std::string file = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + "MTrk" + std::string("\0\0\0", 3) +
                     static_cast<char>(track.size()) + track;
  std::ofstream(path, std::ios::binary) << file;
}

// The largest magnitude in the 16-bit stereo audio that fluidsynth renders.
int RenderPeak(const fs::path& bank, int key, int velocity, const fs::path& folder) {
  const fs::path midi = folder / "note.mid";
  const fs::path raw = folder / "out.raw";
  WriteNote(midi, key, velocity);
  fs::remove(raw);
  const std::string command = "fluidsynth -ni -q -T raw -F '" + raw.string() + "' -r 44100 '" + bank.string() +
                              "' '" + midi.string() + "' >'" + (folder / "fluidsynth.log").string() + "' 2>&1";
  if (std::system(command.c_str()) != 0) return -1;
  const std::string audio = FileBytes(raw);
  int peak = 0;
  for (size_t i = 0; i + 1 < audio.size(); i += 2) {
    const auto word = static_cast<int16_t>(static_cast<uint8_t>(audio[i]) | static_cast<uint8_t>(audio[i + 1]) << 8);
    peak = std::max(peak, std::abs(int{word}));
  }
  return peak;
}

TEST(DemoDiscExport, EverythingExportsAndTheBanksPlayInFluidsynth) {
  const fs::path folder = testsupport::FreshFolder("demo-export");
  std::ostringstream out, err;
  ASSERT_EQ(cli::RunExport({.image = kDemoDisc, .outputDir = folder / "out", .all = true}, out, err), 0) << err.str();
  int wavs = 0;
  std::vector<fs::path> banks;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder / "out")) {
    if (entry.path().extension() == ".wav") {
      ++wavs;
      const clitest::WavContents wav = clitest::ReadWav(entry.path());
      EXPECT_TRUE(wav.opened && wav.hasInstrument) << entry.path();
    }
    if (entry.path().extension() == ".sf2") banks.push_back(entry.path());
  }
  EXPECT_GE(wavs, 12);
  ASSERT_EQ(banks.size(), 2u);
  for (const fs::path& bank : banks) {
    for (auto [key, velocity] : {std::pair{60, 100}, std::pair{30, 40}, std::pair{100, 127}}) {
      // Silence renders as 0 (give or take dither); a soft low note peaks near 100.
      EXPECT_GT(RenderPeak(bank, key, velocity, folder), 50) << bank << " key " << key << " velocity " << velocity;
    }
  }
}

}  // namespace
