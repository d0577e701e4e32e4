#include "tools/demodisc/DemoDisc.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "tools/akaiimage/AkaiHeaderWriter.h"

namespace demodisc {
namespace {

using akaiimage::FileEntry;
using akaiimage::KeygroupDescription;
using akaiimage::ProgramDescription;
using akaiimage::SampleDescription;
using akaiimage::SampleForm;
using akaiimage::VolumeEntry;

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kPeak = 0.7 * 32767;
// The sampler's loop time for "hold until release".
constexpr uint16_t kHoldLoopTime = 9999;
// The reader places a loop's end on a multiple of 64 words.
constexpr uint32_t kLoopGrid = 64;

double KeyFrequency(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

// Scales `signal` so that its largest magnitude becomes `peak` and rounds it to words.
std::vector<int16_t> ToWords(const std::vector<double>& signal, double peak) {
  double largest = 0;
  for (double v : signal) largest = std::max(largest, std::abs(v));
  std::vector<int16_t> words(signal.size());
  const double scale = largest > 0 ? peak / largest : 0;
  for (size_t i = 0; i < signal.size(); ++i) words[i] = static_cast<int16_t>(std::lround(signal[i] * scale));
  return words;
}

// `count` values of `f(t)` for t in seconds.
std::vector<double> Render(uint32_t sampleRate, double seconds, const std::function<double(double)>& f) {
  std::vector<double> signal(static_cast<size_t>(std::lround(seconds * sampleRate)));
  for (size_t i = 0; i < signal.size(); ++i) signal[i] = f(static_cast<double>(i) / sampleRate);
  return signal;
}

// A fixed noise sequence (xorshift32 from a fixed seed): the same on every build.
class Noise {
 public:
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_ = 0x2545F491u;
};

// Fades the last `seconds` of a one-shot out, so that it ends on silence without a click.
void FadeOut(std::vector<double>& signal, uint32_t sampleRate, double seconds) {
  const size_t fade = std::min(signal.size(), static_cast<size_t>(seconds * sampleRate));
  for (size_t i = 0; i < fade; ++i) signal[signal.size() - 1 - i] *= static_cast<double>(i) / fade;
}

struct SamplePlan {
  std::string name;
  SampleForm form;
  uint32_t rate;
  uint8_t key;
};

SampleDescription Describe(const SamplePlan& plan, std::vector<int16_t> words) {
  SampleDescription sample;
  sample.name = plan.name;
  sample.form = plan.form;
  sample.sampleRate = static_cast<uint16_t>(plan.rate);
  // The nominal rate the sampler tunes against: 44100 Hz, or 22050 Hz for samples
  // recorded at that rate.
  sample.rateFlag = plan.rate == 22050 ? 0 : 1;
  sample.originalKey = plan.key;
  sample.words = std::move(words);
  return sample;
}

FileEntry SampleFile(const SampleDescription& sample) {
  FileEntry file;
  file.name = sample.name;
  file.type = 's';
  file.s3000Form = sample.form != SampleForm::S1000;
  file.data = akaiimage::WriteSampleFile(sample);
  return file;
}

FileEntry LoopedSampleFile(const SamplePlan& plan, int harmonics, double seconds) {
  LoopedTone tone = MakeLoopedTone(plan.rate, plan.key, harmonics, seconds);
  const auto lastWord = static_cast<uint32_t>(tone.words.size() - 1);
  SampleDescription sample = Describe(plan, std::move(tone.words));
  sample.loops.push_back({.loopAt = lastWord, .length = tone.loopLength, .time = kHoldLoopTime});
  return SampleFile(sample);
}

FileEntry OneShotFile(const SamplePlan& plan, std::vector<double> signal, double peak) {
  FadeOut(signal, plan.rate, 0.01);
  return SampleFile(Describe(plan, ToWords(signal, peak)));
}

// A plucked string: partials that die away, the upper ones faster; a harder pluck
// has more and longer-lasting upper partials and is louder.
FileEntry PluckFile(const SamplePlan& plan, int layer) {
  const double f0 = KeyFrequency(plan.key);
  const int partials = 3 + 5 * layer;
  const double brightness = 0.5 + 0.5 * layer;
  std::vector<double> signal = Render(plan.rate, 0.9, [&](double t) {
    double value = 0;
    for (int h = 1; h <= partials && h * f0 < 0.45 * plan.rate; ++h) {
      const double decay = 0.5 / (1.0 + (h - 1) / brightness);
      value += std::exp(-t / decay) * std::sin(kTwoPi * h * f0 * t) / h;
    }
    return value * std::min(1.0, t / 0.002);
  });
  return OneShotFile(plan, std::move(signal), kPeak * (0.4 + 0.3 * layer));
}

FileEntry KickFile() {
  // The pitch falls from 150 Hz to 50 Hz; the phase is the integral of that sweep.
  std::vector<double> signal = Render(32000, 0.4, [](double t) {
    const double phase = kTwoPi * (50 * t + 100 * 0.04 * (1 - std::exp(-t / 0.04)));
    return std::exp(-t / 0.15) * std::sin(phase);
  });
  return OneShotFile({"KICK", SampleForm::S1000, 32000, 36}, std::move(signal), kPeak);
}

FileEntry SnareFile() {
  Noise noise;
  std::vector<double> signal = Render(32000, 0.3, [&](double t) {
    return 0.6 * noise.Next() * std::exp(-t / 0.07) + 0.4 * std::sin(kTwoPi * 185 * t) * std::exp(-t / 0.05);
  });
  return OneShotFile({"SNARE", SampleForm::S3000, 32000, 38}, std::move(signal), kPeak);
}

FileEntry HatFile() {
  Noise noise;
  double previous = 0;
  // The difference of successive noise values leaves mostly the high frequencies.
  std::vector<double> signal = Render(22050, 0.12, [&](double t) {
    const double current = noise.Next();
    const double value = (current - previous) * std::exp(-t / 0.03);
    previous = current;
    return value;
  });
  return OneShotFile({"HAT", SampleForm::S1000, 22050, 42}, std::move(signal), 0.5 * kPeak);
}

FileEntry ProgramFile(const ProgramDescription& program) {
  FileEntry file;
  file.name = program.name;
  file.type = 'p';
  file.s3000Form = program.s3000;
  file.data = akaiimage::WriteProgramFile(program);
  return file;
}

KeygroupDescription Keygroup(uint8_t lowKey, uint8_t highKey, std::array<uint8_t, 4> envelope) {
  KeygroupDescription keygroup;
  keygroup.lowKey = lowKey;
  keygroup.highKey = highKey;
  keygroup.ampEnvelope = envelope;
  return keygroup;
}

// One sawtooth per octave, C1 to C5 (C3 = key 60), each keygroup reaching half an
// octave either side of its root, the outer ones to the ends of the keyboard.
VolumeEntry SynthKeys() {
  struct Octave {
    const char* name;
    uint8_t key;
    uint32_t rate;
    uint8_t low, high;
  };
  const Octave octaves[] = {{"SAW C1", 36, 22050, 0, 41},
                            {"SAW C2", 48, 22050, 42, 53},
                            {"SAW C3", 60, 44100, 54, 65},
                            {"SAW C4", 72, 44100, 66, 77},
                            {"SAW C5", 84, 44100, 78, 127}};
  VolumeEntry volume{.name = "SYNTH KEYS"};
  ProgramDescription program;
  program.name = "SYNTH KEYS";
  for (const Octave& octave : octaves) {
    volume.files.push_back(LoopedSampleFile({octave.name, SampleForm::S1000, octave.rate, octave.key}, 24, 0.6));
    KeygroupDescription keygroup = Keygroup(octave.low, octave.high, {2, 50, 99, 40});
    keygroup.zones.push_back({.sampleName = octave.name});
    program.keygroups.push_back(keygroup);
  }
  volume.files.insert(volume.files.begin(), ProgramFile(program));
  return volume;
}

VolumeEntry Drums() { return VolumeEntry{.name = "DRUMS", .files = {KickFile(), SnareFile(), HatFile()}}; }

// Three keygroups of three velocity zones: soft (0..59), medium (60..99), hard (100..127).
VolumeEntry PluckVelo() {
  struct Root {
    const char* note;
    uint8_t key;
    uint32_t rate;
    uint8_t low, high;
  };
  const Root roots[] = {{"C2", 48, 22050, 0, 54}, {"C3", 60, 44100, 55, 66}, {"C4", 72, 44100, 67, 127}};
  const char* const layers[] = {"SOFT", "MED", "HARD"};
  const uint8_t velocities[][2] = {{0, 59}, {60, 99}, {100, 127}};
  VolumeEntry volume{.name = "PLUCK VELO"};
  ProgramDescription program;
  program.name = "PLUCK VELO";
  program.s3000 = true;
  for (const Root& root : roots) {
    KeygroupDescription keygroup = Keygroup(root.low, root.high, {0, 60, 99, 30});
    for (int layer = 0; layer < 3; ++layer) {
      const std::string name = std::string("PLK ") + root.note + " " + layers[layer];
      volume.files.push_back(PluckFile({name, SampleForm::S3000, root.rate, root.key}, layer));
      keygroup.zones.push_back(
          {.sampleName = name, .lowVelocity = velocities[layer][0], .highVelocity = velocities[layer][1]});
    }
    program.keygroups.push_back(keygroup);
  }
  volume.files.insert(volume.files.begin(), ProgramFile(program));
  return volume;
}

VolumeEntry Pads() {
  return VolumeEntry{.name = "PADS",
                     .files = {LoopedSampleFile({"PAD A2", SampleForm::S3000, 32000, 57}, 12, 1.0),
                               LoopedSampleFile({"SINE A3", SampleForm::S1000, 44100, 69}, 1, 0.5)}};
}

// Room for the volume list (and in the first partition the partition table), one
// directory block per volume and every file's blocks.
uint16_t BlocksFor(const std::vector<VolumeEntry>& volumes, bool first) {
  size_t blocks = first ? 3 : 1;
  for (const VolumeEntry& volume : volumes) {
    blocks += 1;
    for (const FileEntry& file : volume.files) blocks += (file.data.size() + 8191) / 8192;
  }
  return static_cast<uint16_t>(blocks);
}

}  // namespace

LoopedTone MakeLoopedTone(uint32_t sampleRate, int key, int harmonics, double seconds) {
  // The loop holds a whole number of periods of about a quarter of a second; the tone is
  // tuned to fit it exactly (at most a fraction of a cent away from the key's pitch),
  // and every partial is computed from the position inside the loop, so the words
  // repeat exactly.
  const double f0 = KeyFrequency(key);
  const double targetLoop = 0.25 * sampleRate;
  const auto periods = static_cast<uint64_t>(std::max(1L, std::lround(f0 * targetLoop / sampleRate)));
  const auto loopLength = static_cast<uint32_t>(std::lround(periods * sampleRate / f0));
  const double frequency = static_cast<double>(periods) * sampleRate / loopLength;
  const uint32_t attack = sampleRate / 100;
  // The loop ends on the sample's last word, which the reader needs on a multiple of 64.
  const auto wanted = static_cast<uint32_t>(seconds * sampleRate);
  const uint32_t lastWord = kLoopGrid * ((std::max(wanted, attack + loopLength) + kLoopGrid - 1) / kLoopGrid);
  std::vector<double> signal(lastWord + 1);
  for (uint32_t n = 0; n < signal.size(); ++n) {
    double value = 0;
    for (int h = 1; h <= harmonics && h * frequency < 0.45 * sampleRate; ++h) {
      const uint64_t cycles = (h * periods * n) % loopLength;
      value += std::sin(kTwoPi * static_cast<double>(cycles) / loopLength) / h;
    }
    signal[n] = value * std::min(1.0, static_cast<double>(n) / attack);
  }
  return {ToWords(signal, 0.5 * 32767), loopLength};
}

akaiimage::DiscDescription DemoDisc() {
  akaiimage::DiscDescription disc;
  std::vector<VolumeEntry> first = {SynthKeys(), Drums()};
  std::vector<VolumeEntry> second = {PluckVelo(), Pads()};
  disc.partitions.push_back({BlocksFor(first, true), std::move(first)});
  disc.partitions.push_back({BlocksFor(second, false), std::move(second)});
  return disc;
}

akaiimage::ImageLayout WriteDemoDisc(const std::filesystem::path& path) {
  return akaiimage::WriteImage(DemoDisc(), path);
}

akaiimage::DiscDescription LargeDisc(int samples, double seconds) {
  constexpr size_t kSamplesPerVolume = 10;
  constexpr size_t kMostBlocksPerPartition = 60000;
  std::vector<FileEntry> files;
  for (int n = 0; n < samples; ++n) {
    const SampleForm form = n % 2 == 0 ? SampleForm::S1000 : SampleForm::S3000;
    files.push_back(LoopedSampleFile({"TONE " + std::to_string(n), form, 44100, static_cast<uint8_t>(36 + n % 48)}, 3,
                                     seconds));
  }
  const size_t blocksPerFile = files.empty() ? 1 : (files.front().data.size() + 8191) / 8192 + 1;
  const size_t perPartition = std::max<size_t>(1, kMostBlocksPerPartition / blocksPerFile);
  akaiimage::DiscDescription disc;
  for (size_t first = 0; first < files.size(); first += perPartition) {
    std::vector<VolumeEntry> volumes;
    for (size_t n = first; n < std::min(files.size(), first + perPartition); ++n) {
      if ((n - first) % kSamplesPerVolume == 0) volumes.push_back({.name = "VOLUME " + std::to_string(volumes.size())});
      volumes.back().files.push_back(std::move(files[n]));
    }
    const uint16_t blocks = BlocksFor(volumes, disc.partitions.empty());
    disc.partitions.push_back({blocks, std::move(volumes)});
  }
  return disc;
}

}  // namespace demodisc
