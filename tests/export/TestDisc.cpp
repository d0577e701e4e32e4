#include "tests/export/TestDisc.h"

#include <cmath>
#include <numbers>

namespace testexport {

namespace {

constexpr uint32_t kBlockBytes = 8192;

uint16_t BlocksFor(size_t bytes) { return static_cast<uint16_t>((bytes + kBlockBytes - 1) / kBlockBytes); }

}  // namespace

akaiimage::ImageLayout WriteProgramDisc(const std::filesystem::path& image,
                                        const DiscContents& contents) {
  akaiimage::VolumeEntry volume;
  volume.name = "VOLUME";
  size_t blocks = 8;
  const auto addFile = [&](const std::string& name, char type, std::vector<uint8_t> data) {
    akaiimage::FileEntry file;
    file.name = name;
    file.type = type;
    file.data = std::move(data);
    blocks += BlocksFor(file.data.size());
    volume.files.push_back(std::move(file));
  };
  addFile(contents.program.name, 'p',
          contents.rawProgram ? *contents.rawProgram : akaiimage::WriteProgramFile(contents.program));
  for (const akaiimage::SampleDescription& sample : contents.samples) {
    addFile(sample.name, 's', akaiimage::WriteSampleFile(sample));
  }
  akaiimage::DiscDescription disc;
  disc.partitions.emplace_back();
  disc.partitions[0].sizeBlocks = static_cast<uint16_t>(blocks);
  disc.partitions[0].volumes.push_back(std::move(volume));
  akaiimage::ImageLayout layout = akaiimage::WriteImage(disc, image);
  if (contents.cutInFirstSample && contents.samples.size() > 0) {
    const uint64_t firstSampleBlock = layout.partitions[0].volumes[0].files[1].absoluteBlocks[0];
    // The header block stays readable; the file's later blocks are gone.
    akaiimage::DiscDescription cut = disc;
    cut.imageBytes = (firstSampleBlock + 1) * kBlockBytes;
    layout = akaiimage::WriteImage(cut, image);
  }
  return layout;
}

std::vector<int16_t> ToneWords(size_t count, uint32_t seed) {
  std::vector<int16_t> words(count);
  uint32_t state = seed * 2654435761u + 12345u;
  const double frequency = 220.0 * (1.0 + 0.37 * seed);
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(state >> 16) / 65536.0 - 0.5;
    const double t = static_cast<double>(i) / 44100.0;
    words[i] = static_cast<int16_t>(8000.0 * std::sin(2 * std::numbers::pi * frequency * t) + 12000.0 * noise);
  }
  return words;
}

akaiimage::SampleDescription MakeSample(const std::string& name, std::vector<int16_t> words,
                                        uint32_t loopLength) {
  akaiimage::SampleDescription sample;
  sample.name = name;
  sample.sampleRate = 44100;
  sample.rateFlag = 1;
  sample.originalKey = 60;
  if (loopLength > 0) {
    akaiimage::SampleLoopDescription loop;
    loop.loopAt = static_cast<uint32_t>((words.size() - 1) / 64 * 64);
    loop.length = loopLength;
    loop.time = 1;
    sample.loops.push_back(loop);
  }
  sample.words = std::move(words);
  return sample;
}

akaiimage::KeygroupDescription MakeKeygroup(uint8_t lowKey, uint8_t highKey,
                                            const std::vector<std::string>& sampleNames) {
  akaiimage::KeygroupDescription keygroup;
  keygroup.lowKey = lowKey;
  keygroup.highKey = highKey;
  for (const std::string& name : sampleNames) {
    keygroup.zones.emplace_back();
    keygroup.zones.back().sampleName = name;
  }
  return keygroup;
}

}  // namespace testexport
