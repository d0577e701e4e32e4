// Discs laid out as real media: partition headers with a FAT, files in fragments,
// deleted volumes and free directory entries, two-block S3000 directories, CD labels;
// and FATs that cannot be trusted, where the reader falls back to its plain layout.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/akai/reader/ReaderTestSupport.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/RawSectorImage.h"

namespace {

namespace fs = std::filesystem;
using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;
using testsupport::OpenedImage;

// A sample of `words` words counting up from `first`, in a file of its own.
FileEntry SampleOf(const std::string& name, size_t words, int16_t first) {
  akaiimage::SampleDescription sample;
  sample.name = name;
  for (size_t i = 0; i < words; ++i) sample.words.push_back(static_cast<int16_t>(first + i));
  FileEntry file;
  file.name = name;
  file.data = akaiimage::WriteSampleFile(sample);
  return file;
}

DiscDescription RealDisc(std::vector<VolumeEntry> volumes) {
  DiscDescription disc;
  disc.realHeaders = true;
  disc.partitions = {PartitionEntry{.sizeBlocks = 200, .volumes = std::move(volumes)}};
  return disc;
}

// Loads `name` from volume 0 and checks that its words count up from `first`.
void ExpectWordsCountUp(AkaiVolumeReader& reader, const char* name, int16_t first) {
  reader.LoadSample(0, 0, name, true);
  const AkaiSample& sample = reader.sample();
  ASSERT_GT(sample.sampleCount, 0u);
  for (uint32_t i = 0; i < sample.sampleCount; ++i) {
    ASSERT_EQ(sample.data[i], static_cast<int16_t>(first + i)) << "word " << i;
  }
}

// 50,000 words: 13 blocks.
constexpr size_t kLongSample = 50000;

TEST(RealLayout, FragmentedSamplesFollowTheirChainInCoalescedRequests) {
  struct Case {
    uint32_t fragments;
    std::vector<uint8_t> requestSizes;  // sectors per request of the data read
  };
  for (const Case& c : {Case{1, {52}}, Case{2, {28, 24}}, Case{13, std::vector<uint8_t>(13, 4)}}) {
    SCOPED_TRACE(c.fragments);
    FileEntry file = SampleOf("LONG", kLongSample, -7000);
    file.fragments = c.fragments;
    OpenedImage disc(RealDisc({VolumeEntry{.name = "V", .files = {SampleOf("SHORT", 100, 5), file}}}));
    disc.reader.ReadFiles(0, 0);
    disc.counting.Forget();
    ExpectWordsCountUp(disc.reader, "LONG", -7000);
    EXPECT_EQ(disc.counting.Counts(), c.requestSizes);
    ExpectWordsCountUp(disc.reader, "SHORT", 5);
  }
}

// The words the runs point at, read straight from their files.
std::vector<int16_t> WordsIn(const std::vector<FileRun>& runs) {
  std::vector<int16_t> words;
  for (const FileRun& run : runs) {
    std::vector<int16_t> part(run.bytes / 2);
    EXPECT_EQ(pread(run.fd, part.data(), run.bytes, static_cast<off_t>(run.offset)), static_cast<ssize_t>(run.bytes));
    words.insert(words.end(), part.begin(), part.end());
  }
  return words;
}

// Where LocateSampleWords says the words lie, LoadSample finds them: across fragments,
// up to an image that ends with the sample's last block. An image cut inside that
// block, or one of raw sectors, hands out no runs (the load then decides).
TEST(RealLayout, LocatedWordsAreTheWordsLoaded) {
  struct Case {
    const char* what;
    uint32_t fragments;
    std::optional<int> keptAfterLastBlock;  // bytes of the image kept past it
    bool raw;
    bool located;
  };
  const Case cases[] = {
      {"in one piece", 1, std::nullopt, false, true},  {"in 2 pieces", 2, std::nullopt, false, true},
      {"in 13 pieces", 13, std::nullopt, false, true}, {"at the image's end", 1, 0, false, true},
      {"cut in its last block", 1, -100, false, false}, {"in raw sectors", 2, std::nullopt, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileEntry file = SampleOf("LONG", kLongSample, -7000);
    file.fragments = c.fragments;
    fs::path image =
        testsupport::BuildImage(RealDisc({VolumeEntry{.name = "V", .files = {SampleOf("SHORT", 100, 5), file}}}));
    if (c.keptAfterLastBlock) {
      ImageFileSource source(image);
      AkaiVolumeReader reader(source);
      reader.ReadFiles(0, 0);
      const AkaiFile& entry = *reader.files().At(1);
      const uint64_t end = (uint64_t{reader.partitions().At(0)->startBlock} + entry.startBlock +
                            AkaiVolumeReader::BlocksOf(entry.length)) * AkaiVolumeReader::kBlockSize;
      fs::resize_file(image, end + *c.keptAfterLastBlock);
    }
    if (c.raw) {
      akaiimage::WriteRawSectorImage(image, image.parent_path() / "raw.bin", akaiimage::RawSectorMode::Mode1);
      image = image.parent_path() / "raw.bin";
    }
    ImageFileSource source(image);
    AkaiVolumeReader reader(source);
    const std::optional<std::vector<FileRun>> runs = reader.LocateSampleWords(0, 0, "LONG");
    ASSERT_EQ(runs.has_value(), c.located);
    if (!c.located) continue;
    EXPECT_GE(runs->size(), c.fragments > 1 ? 2u : 1u);
    const std::vector<int16_t> located = WordsIn(*runs);
    reader.LoadSample(0, 0, "LONG", true);
    const AkaiSample& loaded = reader.sample();
    EXPECT_EQ(located, std::vector<int16_t>(loaded.data.get(), loaded.data.get() + loaded.sampleCount));
  }
}

// Overwrites the FAT word of `block` in partition A of the image.
void PatchFat(const std::filesystem::path& image, uint32_t block, uint16_t value) {
  std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(0x070A + 2 * block);
  const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
  file.write(bytes, 2);
}

TEST(RealLayout, UnsoundChainsFallBackToContiguousReads) {
  // The sample's 13 blocks lie contiguous from its start block; each damage makes its
  // chain unsound, so the reader reads as it does without a FAT.
  struct Case {
    const char* what;
    bool headerMark;        // the header's own mark (block 0) is damaged, not the chain
    uint32_t blockOfChain;  // 0-based position in the file's chain
    uint16_t value;
    bool fromStart;  // `value` counts from the file's start block
  };
  const Case cases[] = {
      {"loops back to its start", false, 12, 0, true}, {"leaves the partition", false, 3, 5000, false},
      {"ends early", false, 5, 0xC000, false},         {"runs long", false, 12, 13, true},
      {"links to a free block", false, 2, 0, false},   {"garbage header marks", true, 0, 0x1234, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenedImage disc(RealDisc({VolumeEntry{.name = "V", .files = {SampleOf("LONG", kLongSample, 300)}}}));
    disc.reader.ReadFiles(0, 0);
    const uint16_t start = disc.reader.files().At(0)->startBlock;
    const auto value = static_cast<uint16_t>(c.fromStart ? start + c.value : c.value);
    PatchFat(disc.image.path(), c.headerMark ? 0 : start + c.blockOfChain, value);
    disc.reader.ReadVolumes(0);
    disc.counting.Forget();
    ExpectWordsCountUp(disc.reader, "LONG", 300);
    EXPECT_EQ(disc.counting.Counts(), (std::vector<uint8_t>{52}));
  }
}

TEST(RealLayout, DeletedVolumesAndFreeEntriesAreSkipped) {
  FileEntry free{.name = "", .type = 0};
  VolumeEntry deleted{.name = "GONE", .type = 0};
  DiscDescription description = RealDisc({VolumeEntry{.name = "ONE", .files = {free, SampleOf("A", 10, 1), free, SampleOf("B", 10, 2)}},
                                          deleted, VolumeEntry{.name = "THREE", .type = 1 + 5 * 256}});
  OpenedImage disc(description);
  disc.reader.ReadVolumes(0);
  ASSERT_EQ(disc.reader.volumes().Count(), 2);
  EXPECT_STREQ(disc.reader.volumes().At(1)->name, "THREE");
  disc.reader.ReadFiles(0, 0);
  ASSERT_EQ(disc.reader.files().Count(), 2);
  EXPECT_STREQ(disc.reader.files().At(1)->name, "B");
  // One block per volume list and per directory.
  EXPECT_EQ(disc.counting.Counts(), (std::vector<uint8_t>{4, 4, 4, 4}));
}

TEST(RealLayout, TwoBlockDirectoriesListAll510Entries) {
  VolumeEntry volume{.name = "S3K", .type = 3, .directoryBlocks = 2, .secondDirBlock = 150};
  for (int i = 0; i < 510; ++i) volume.files.push_back(FileEntry{.name = "F" + std::to_string(i), .length = 0});
  OpenedImage disc(RealDisc({volume}));
  disc.reader.ReadFiles(0, 0);
  ASSERT_EQ(disc.reader.files().Count(), 510);
  EXPECT_STREQ(disc.reader.files().At(341)->name, "F341");  // the entry across both blocks
  EXPECT_STREQ(disc.reader.files().At(509)->name, "F509");

  // A second block past the end of the image fails the read, as any missing block does.
  DiscDescription cut = RealDisc({volume});
  cut.imageBytes = 150 * 8192;
  OpenedImage truncated(cut, "truncated");
  EXPECT_THROW(truncated.reader.ReadFiles(0, 0), CDReaderException);
}

TEST(RealLayout, CdLabelComesFromTheCdInformation) {
  DiscDescription description = RealDisc({VolumeEntry{.name = "V"}});
  description.partitions.push_back(PartitionEntry{.sizeBlocks = 10});
  description.partitions[0].cdLabel = "MY LIBRARY 1";
  OpenedImage disc(description);
  disc.reader.ReadPartitions();
  char label[13] = {};
  ASSERT_TRUE(disc.reader.ReadCdLabel(0, label));
  EXPECT_STREQ(label, "MY LIBRARY 1");
  EXPECT_FALSE(disc.reader.ReadCdLabel(1, label));

  // An S3000 hard disk carries "TAGS" but files in blocks 3..5, not CD-ROM information.
  ImageFileSource s3000(testsupport::ReferenceData("akai/akaiutil-s3000.img"));
  AkaiVolumeReader reader(s3000);
  reader.ReadPartitions();
  EXPECT_FALSE(reader.ReadCdLabel(0, label));
}

}  // namespace
