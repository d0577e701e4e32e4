// Samples and programs read from disc images made outside the project: every sample
// must give back, word for word, what the disc holds between its markers (the .expect
// WAV files beside each image), and the builder-made disc its recorded header fields.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "akai/PlayLoopAndTuning.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace {

namespace fs = std::filesystem;

fs::path Reference(const std::string& name) { return testsupport::ReferenceData(fs::path("akai") / name); }

std::vector<int16_t> ReadWavWords(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) throw std::runtime_error("cannot read " + path.string());
  std::vector<int16_t> words(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t read = sf_read_short(file, words.data(), static_cast<sf_count_t>(words.size()));
  sf_close(file);
  words.resize(static_cast<size_t>(read));
  return words;
}

uint16_t VolumeIndex(AkaiVolumeReader& reader, uint16_t partition, const std::string& name) {
  reader.ReadVolumes(partition);
  for (int v = 0; v < reader.volumes().Count(); ++v) {
    if (name == reader.volumes().At(v)->name) return static_cast<uint16_t>(v);
  }
  throw std::runtime_error("no volume " + name);
}

// Partitions are listed A, B, ... and all of them are readable on these images.
uint16_t PartitionIndex(const std::string& letter) { return static_cast<uint16_t>(letter[0] - 'A'); }

// Loads every sample of <image>.expect/<partition>/<volume>/<sample>.wav and compares.
int ExpectSamplesAsRecorded(const std::string& image) {
  ImageFileSource source(Reference(image));
  AkaiVolumeReader reader(source);
  reader.ReadPartitions();
  int compared = 0;
  const fs::path expect = Reference(fs::path(image).stem().string() + ".expect");
  for (const fs::directory_entry& wav : fs::recursive_directory_iterator(expect)) {
    if (wav.path().extension() != ".wav") continue;
    const std::string sample = wav.path().stem().string();
    const std::string volume = wav.path().parent_path().filename().string();
    const uint16_t p = PartitionIndex(wav.path().parent_path().parent_path().filename().string());
    SCOPED_TRACE(image + ": " + volume + "/" + sample);

    reader.LoadSample(p, VolumeIndex(reader, p, volume), sample.c_str(), true);
    const std::vector<int16_t> expected = ReadWavWords(wav.path());
    const AkaiSample& loaded = reader.sample();
    EXPECT_EQ(loaded.sampleCount, expected.size());
    if (loaded.sampleCount == expected.size()) {
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), loaded.data.get()));
      ++compared;
    }
  }
  return compared;
}

TEST(ReferenceImages, SamplesWith192ByteHeadersReadBackWordForWord) {
  EXPECT_EQ(ExpectSamplesAsRecorded("akaiutil-s3000.img"), 3);
}

TEST(ReferenceImages, S1000SamplesReadBackWordForWord) {
  EXPECT_EQ(ExpectSamplesAsRecorded("akaiutil-s1000.img"), 3);
}

TEST(ReferenceImages, SamplesWith180ByteHeadersReadBackWordForWord) {
  EXPECT_EQ(ExpectSamplesAsRecorded("builder-demo.iso"), 8);
}

// Real allocation: fragmented samples, deleted volumes and free directory entries,
// stereo pairs stored as two mono samples.
TEST(ReferenceImages, SamplesOnRealMediaReadBackWordForWord) {
  EXPECT_EQ(ExpectSamplesAsRecorded("frag-s1000.img"), 20);
  EXPECT_EQ(ExpectSamplesAsRecorded("holes.img"), 14);
  EXPECT_EQ(ExpectSamplesAsRecorded("stereo.img"), 12);
}

// The manifest records every field the independent builder wrote.
TEST(ReferenceImages, BuilderDemoHeadersMatchTheManifest) {
  std::ifstream in(Reference("builder-demo.manifest.json"));
  const nlohmann::json manifest = nlohmann::json::parse(in);
  ImageFileSource source(Reference("builder-demo.iso"));
  AkaiVolumeReader reader(source);
  reader.ReadPartitions();
  testsupport::ScriptedPrompt prompt;
  int samples = 0;
  int programs = 0;

  for (const auto& partition : manifest["partitions"]) {
    const auto p = partition["index"].get<uint16_t>();
    for (const auto& volume : partition["volumes"]) {
      const uint16_t v = VolumeIndex(reader, p, volume["name"].get<std::string>());
      for (const auto& file : volume["files"]) {
        const std::string name = file["name"];
        SCOPED_TRACE(name);
        if (file["kind"] == "p" || file["kind"] == "P") {
          reader.LoadProgram(p, v, name.c_str());
          EXPECT_STREQ(reader.program().name, name.c_str());
          EXPECT_EQ(reader.program().keygroups.Count(), file["keygroups"].get<int>());
          ++programs;
          continue;
        }
        reader.LoadSample(p, v, name.c_str(), false);
        const AkaiSample& s = reader.sample();
        EXPECT_STREQ(s.name, name.c_str());
        EXPECT_EQ(s.sampleRate, file["rate"].get<uint16_t>());
        EXPECT_EQ(s.rateFlag, file["rateflag"].get<uint32_t>());
        EXPECT_EQ(s.originalKey, file["key"].get<uint8_t>());
        EXPECT_EQ(s.startMarker, file["start_marker"].get<uint32_t>());
        EXPECT_EQ(s.endMarker, file["end_marker"].get<uint32_t>());
        EXPECT_EQ(s.sampleCount, file["sample_count"].get<uint32_t>());
        // Each loop: [loopAt, length, time]; its end is loopAt rounded down to 64, + 1.
        const auto& loop = file["loops"].at(0);
        const auto loopAt = loop[0].get<uint32_t>();
        const auto length = loop[1].get<uint32_t>();
        const uint32_t end = loopAt - loopAt % 64 + 1 - s.startMarker;
        EXPECT_EQ(s.loops[0].end, end);
        EXPECT_EQ(s.loops[0].length, length);
        EXPECT_EQ(s.loops[0].time, loop[2].get<uint16_t>());
        EXPECT_EQ(FindPlayLoop(s).start, end - length);
        EXPECT_EQ(FindPlayLoop(s).length, length);
        ++samples;
      }
    }
  }
  EXPECT_EQ(samples, 8);
  EXPECT_EQ(programs, 4);
  EXPECT_TRUE(prompt.messages().empty());
}

}  // namespace
