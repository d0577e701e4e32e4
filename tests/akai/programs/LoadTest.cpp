// LoadSample and LoadProgram on disc images made by the image builder.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace {

using namespace akaiimage;

// Passes reads on to an image and records each request.
class CountingSource : public SectorSource {
 public:
  struct Request {
    uint32_t lba;
    uint8_t count;
  };

  explicit CountingSource(const std::filesystem::path& image) : image_(image) {}
  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override {
    requests.push_back({lba, count});
    image_.ReadSectors(lba, buffer, count);
  }
  int ReadsOfBlock(uint32_t block) const {
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(), [&](const Request& r) { return r.lba == block * 4; }));
  }
  std::vector<Request> requests;

 private:
  ImageFileSource image_;
};

std::vector<int16_t> Words(size_t count, int16_t first) {
  std::vector<int16_t> words(count);
  std::iota(words.begin(), words.end(), first);
  return words;
}

SampleDescription Sample(const std::string& name, SampleForm form, size_t words, int16_t first) {
  SampleDescription d;
  d.name = name;
  d.form = form;
  d.words = Words(words, first);
  return d;
}

FileEntry File(const std::string& name, char type, bool s3000Form, std::vector<uint8_t> data) {
  FileEntry file;
  file.name = name;
  file.type = type;
  file.s3000Form = s3000Form;
  file.data = std::move(data);
  return file;
}

FileEntry SampleFile(const SampleDescription& d) {
  return File(d.name, 's', d.form != SampleForm::S1000, WriteSampleFile(d));
}

FileEntry ProgramFile(const ProgramDescription& d) {
  return File(d.name, 'p', d.s3000, WriteProgramFile(d));
}

VolumeEntry Volume(const std::string& name, std::vector<FileEntry> files) {
  VolumeEntry volume;
  volume.name = name;
  volume.files = std::move(files);
  return volume;
}

// A disc of one partition with one volume "V".
DiscDescription OneVolume(std::vector<FileEntry> files) {
  DiscDescription disc;
  disc.partitions.resize(1);
  disc.partitions[0].sizeBlocks = 10;
  disc.partitions[0].volumes = {Volume("V", std::move(files))};
  return disc;
}

ProgramDescription Program(const std::string& name, size_t keygroups, bool s3000) {
  ProgramDescription p;
  p.name = name;
  p.s3000 = s3000;
  for (size_t i = 0; i < keygroups; ++i) {
    KeygroupDescription keygroup;
    keygroup.lowKey = keygroup.highKey = static_cast<uint8_t>(i);
    keygroup.zones = {ZoneDescription{.sampleName = "S3K"}};
    p.keygroups.push_back(keygroup);
  }
  return p;
}

// Partition 0: volume MIXED (an S3000 sample with a 192-byte header, one with 180,
// an S1000 sample after them, two programs) and volume OTHER; partition 1: volume SECOND.
class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s3000 = Sample("S3K", SampleForm::S3000, 9000, -4000);
    s3000.startMarker = 3;
    s3000Short = Sample("S3K SHORT", SampleForm::S3000Short, 100, 7);
    s1000 = Sample("S1K", SampleForm::S1000, 5000, 1000);
    s1000.startMarker = 5;
    s1000.loops = {{1000, 200, 0, 1}};

    DiscDescription disc;
    disc.partitions.resize(2);
    disc.partitions[0].sizeBlocks = 60;
    disc.partitions[0].volumes = {
        Volume("MIXED", {SampleFile(s3000), SampleFile(s3000Short), SampleFile(s1000),
                         ProgramFile(Program("PROG 1K", 3, false)), ProgramFile(Program("PROG 3K", 2, true))}),
        Volume("OTHER", {SampleFile(Sample("S3K", SampleForm::S1000, 10, 5))})};
    disc.partitions[1].sizeBlocks = 20;
    disc.partitions[1].volumes = {Volume("SECOND", {SampleFile(Sample("FAR", SampleForm::S1000, 10, 50))})};
    Build(disc);
  }

  void Build(const DiscDescription& disc) {
    image = testsupport::FreshFolder("load") / "disc.img";
    layout = WriteImage(disc, image);
    source.emplace(image);
    reader.emplace(*source);
  }

  static void ExpectCode(int code, const std::function<void()>& load) {
    try {
      load();
      ADD_FAILURE() << "load succeeded";
    } catch (const AKAIException& e) {
      EXPECT_EQ(e.code, code);
    }
  }

  SampleDescription s3000, s3000Short, s1000;
  std::filesystem::path image;
  ImageLayout layout;
  std::optional<CountingSource> source;
  std::optional<AkaiVolumeReader> reader;
};

TEST_F(LoadTest, SampleWordsFollowTheHeaderOfTheirForm) {
  // S1000 after two S3000 samples: each load takes its own header size.
  reader->LoadSample(0, 0, "S3K", true);
  ASSERT_EQ(reader->sample().sampleCount, 9000u - 3);
  EXPECT_EQ(reader->sample().data[0], s3000.words[3]);
  EXPECT_EQ(reader->sample().data[8996], s3000.words[8999]);

  reader->LoadSample(0, 0, "S3K SHORT", true);
  ASSERT_EQ(reader->sample().sampleCount, 100u);
  EXPECT_EQ(reader->sample().data[0], 7);
  EXPECT_EQ(reader->sample().data[99], 106);

  reader->LoadSample(0, 0, "S1K", true);
  const AkaiSample& s = reader->sample();
  ASSERT_EQ(s.sampleCount, 5000u - 5);
  EXPECT_EQ(s.data[0], s1000.words[5]);
  EXPECT_EQ(s.data[4994], s1000.words[4999]);
  EXPECT_EQ(s.loops[0].end, 961u - 5);
  EXPECT_EQ(s.sampleRate, 44100);
}

TEST_F(LoadTest, HeaderOnlyLoadReadsOneBlockAndDropsOldData) {
  reader->LoadSample(0, 0, "S3K", true);
  source->requests.clear();
  reader->LoadSample(0, 0, "S3K", false);
  EXPECT_EQ(reader->sample().data, nullptr);
  EXPECT_EQ(reader->sample().sampleCount, 8997u);
  // The file has three blocks; the header needs one.
  ASSERT_EQ(source->requests.size(), 1u);
  EXPECT_EQ(source->requests[0].count, 4);
}

TEST_F(LoadTest, NamesAreLookedUpPerKindAndVolume) {
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadSample(0, 0, "NOSUCH", false); });
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadSample(0, 0, "PROG 1K", false); });
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadProgram(0, 0, "S1K"); });
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadSample(0, 0, "s1k", false); });  // case counts
  reader->LoadSample(0, 1, "S3K", true);
  EXPECT_EQ(reader->sample().sampleCount, 10u);
  reader->LoadSample(1, 0, "FAR", true);
  EXPECT_EQ(reader->sample().data[0], 50);
}

TEST_F(LoadTest, ProgramsOfBothForms) {
  testsupport::ScriptedPrompt prompt;
  reader->LoadProgram(0, 0, "PROG 1K");
  EXPECT_STREQ(reader->program().name, "PROG 1K");
  EXPECT_EQ(reader->program().keygroups.Count(), 3);
  EXPECT_EQ(reader->program().keygroups.At(2)->lowKey(), 2);
  reader->LoadProgram(0, 0, "PROG 3K");
  EXPECT_EQ(reader->program().keygroups.Count(), 2);
  EXPECT_STREQ(reader->program().keygroups.At(1)->zones[0].sampleName, "S3K");
  EXPECT_TRUE(prompt.messages().empty());
}

TEST_F(LoadTest, DirectoryIsReadAgainOnlyForAnotherVolume) {
  const uint32_t mixedDir = layout.partitions[0].volumes[0].dirBlock;
  reader->LoadSample(0, 0, "S3K", false);
  reader->LoadSample(0, 0, "S1K", true);
  reader->LoadProgram(0, 0, "PROG 1K");
  EXPECT_EQ(source->ReadsOfBlock(mixedDir), 1);

  reader->LoadSample(0, 1, "S3K", false);
  reader->LoadSample(0, 0, "S3K", false);
  EXPECT_EQ(source->ReadsOfBlock(mixedDir), 2);

  // Same volume index in another partition is another volume.
  reader->LoadSample(1, 0, "FAR", false);
  reader->LoadSample(0, 0, "S3K", false);
  EXPECT_EQ(source->ReadsOfBlock(mixedDir), 3);
}

TEST_F(LoadTest, EmptyDirectoryIsReadOnEveryLoad) {
  Build(OneVolume({}));
  const uint32_t dir = layout.partitions[0].volumes[0].dirBlock;
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadSample(0, 0, "ANY", false); });
  ExpectCode(AKAIException::kNameNotFound, [&] { reader->LoadProgram(0, 0, "ANY"); });
  EXPECT_EQ(source->ReadsOfBlock(dir), 2);
}

TEST_F(LoadTest, SampleWithMarkersPastItsFileIsRejected) {
  SampleDescription bad = Sample("BAD", SampleForm::S1000, 100, 0);
  bad.endMarker = 100;
  SampleDescription reversed = Sample("REVERSED", SampleForm::S3000, 100, 0);
  reversed.startMarker = 50;
  reversed.endMarker = 49;
  Build(OneVolume({SampleFile(bad), SampleFile(reversed)}));
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadSample(0, 0, "BAD", false); });
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadSample(0, 0, "BAD", true); });
  EXPECT_EQ(reader->sample().data, nullptr);
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadSample(0, 0, "REVERSED", false); });
}

TEST_F(LoadTest, EmptySampleFileIsRejected) {
  Build(OneVolume({File("EMPTY", 's', false, {})}));
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadSample(0, 0, "EMPTY", true); });
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadSample(0, 0, "EMPTY", false); });
}

TEST_F(LoadTest, ProgramShorterThanItsHeaderIsRejected) {
  FileEntry shortProgram = ProgramFile(Program("SHORT", 1, true));
  shortProgram.length = 191;
  Build(OneVolume({shortProgram, File("EMPTY", 'p', false, {})}));
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadProgram(0, 0, "SHORT"); });
  ExpectCode(AKAIException::kCorruptData, [&] { reader->LoadProgram(0, 0, "EMPTY"); });
}

TEST_F(LoadTest, ProgramSpanningBlocksSkipsAnotherFile) {
  // 60 keygroups of 150 bytes take two blocks; the second lies behind a sample that
  // sits on the block right after the program's first one.
  ProgramDescription p = Program("BIG", 60, false);
  FileEntry program = ProgramFile(p);
  program.blocks = {5, 7};
  FileEntry between = SampleFile(Sample("BETWEEN", SampleForm::S1000, 100, 0));
  between.startBlock = 6;
  Build(OneVolume({program, between}));
  testsupport::ScriptedPrompt prompt;
  reader->LoadProgram(0, 0, "BIG");
  ASSERT_EQ(reader->program().keygroups.Count(), 60);
  EXPECT_EQ(reader->program().keygroups.At(59)->lowKey(), 59);
  EXPECT_TRUE(prompt.messages().empty());
}

}  // namespace

namespace {

// A program's length ends its keygroups: a third keygroup lies in the rest of its
// last block (stale bytes of a longer program that stood there before) but not in it.
TEST_F(LoadTest, KeygroupsStayInsideTheProgramsLength) {
  FileEntry program = ProgramFile(Program("SHORT", 3, false));
  program.length = 150 * 3;  // header and two keygroups, though the header says 3
  Build(OneVolume({program}));
  testsupport::ScriptedPrompt prompt;
  reader->LoadProgram(0, 0, "SHORT");
  EXPECT_EQ(reader->program().keygroupCount, 3);
  EXPECT_EQ(reader->program().keygroups.Count(), 2);
  EXPECT_TRUE(prompt.messages().empty());
}

}  // namespace
