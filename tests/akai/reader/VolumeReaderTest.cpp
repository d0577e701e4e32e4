#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

using Access = AkaiVolumeReaderTestAccess;

using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;
using testsupport::Filled;
using testsupport::OpenedImage;
using testsupport::ThreePartitions;

std::vector<uint16_t> Starts(const AkaiVolumeReader& reader) {
  std::vector<uint16_t> starts;
  for (int i = 0; i < reader.partitions().Count(); ++i) starts.push_back(reader.partitions().At(i)->startBlock);
  return starts;
}

std::vector<std::string> FileNames(const AkaiVolumeReader& reader) {
  std::vector<std::string> names;
  for (int i = 0; i < reader.files().Count(); ++i) names.push_back(reader.files().At(i)->name);
  return names;
}

TEST(ReadPartitions, StartsAreRunningSumsOfTheSizes) {
  OpenedImage disc(ThreePartitions());
  disc.reader.ReadPartitions();
  EXPECT_EQ(Starts(disc.reader), (std::vector<uint16_t>{0, 100, 150}));
  EXPECT_EQ(disc.reader.partitions().At(2)->sizeBlocks, 200);
  // Block 2, then one probe per partition, each a block.
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{2, 0, 100, 150}));
  EXPECT_EQ(disc.counting.Counts(), (std::vector<uint8_t>{4, 4, 4, 4}));
}

TEST(ReadPartitions, UnreadablePartitionIsLeftOutQuietly) {
  OpenedImage disc(ThreePartitions());
  disc.counting.failingBlocks = {100};
  disc.reader.ReadPartitions();
  EXPECT_EQ(Starts(disc.reader), (std::vector<uint16_t>{0, 150}));
  // Probes run quietly; the flag is restored afterwards.
  for (const auto& request : disc.counting.requests()) EXPECT_EQ(request.quiet, request.lba != 8);
  EXPECT_FALSE(disc.counting.QuietMode());

  disc.counting.SetQuietMode(true);
  disc.reader.ReadPartitions();
  EXPECT_TRUE(disc.counting.QuietMode());
}

TEST(ReadPartitions, ImageEndingBeforeAPartitionDropsIt) {
  DiscDescription description = ThreePartitions();
  description.imageBytes = 150 * 8192;  // partition 3's first block is missing
  OpenedImage disc(description);
  disc.reader.ReadPartitions();
  EXPECT_EQ(Starts(disc.reader), (std::vector<uint16_t>{0, 100}));
}

TEST(ReadPartitions, UnreadableTableThrowsAndRebuildsTheList) {
  OpenedImage disc(ThreePartitions());
  disc.reader.ReadPartitions();
  disc.counting.failingBlocks = {2};
  EXPECT_THROW(disc.reader.ReadPartitions(), CDReaderException);
  EXPECT_EQ(disc.reader.partitions().Count(), 0);
}

TEST(ReadPartitions, AtMost63PartitionsAreTaken) {
  DiscDescription description;
  description.partitions.assign(70, PartitionEntry{2, {}});
  description.partitions[0].sizeBlocks = 4;
  OpenedImage disc(description);
  disc.reader.ReadPartitions();
  EXPECT_EQ(disc.reader.partitions().Count(), 63);
  EXPECT_EQ(disc.reader.partitions().At(62)->startBlock, 4 + 61 * 2);
}

TEST(ReadPartitions, EmptyTableGivesNoPartitionsAndVolumesThenFailOnIndex) {
  OpenedImage disc(DiscDescription{});
  disc.reader.ReadPartitions();
  EXPECT_EQ(disc.reader.partitions().Count(), 0);
  try {
    disc.reader.ReadVolumes(0);
    FAIL();
  } catch (const ChainedListExeption& e) {
    EXPECT_EQ(e.code, -2);
  }
}

DiscDescription OneVolume(std::vector<FileEntry> files) {
  DiscDescription disc;
  disc.partitions = {PartitionEntry{100, {VolumeEntry{.name = "DRUMS", .files = std::move(files)}}}};
  return disc;
}

TEST(ReadVolumes, ReadsNamesAndDirectoryBlocks) {
  DiscDescription description;
  description.partitions = {PartitionEntry{40, {}}, PartitionEntry{60, {}}};
  description.partitions[1].volumes = {VolumeEntry{.name = "keys 1"}, VolumeEntry{.name = "#+-.", .dirBlock = 30}};
  OpenedImage disc(description);
  disc.reader.ReadVolumes(1);
  ASSERT_EQ(disc.reader.volumes().Count(), 2);
  EXPECT_STREQ(disc.reader.volumes().At(0)->name, "KEYS 1");
  EXPECT_EQ(disc.reader.volumes().At(0)->dirBlock, 1);
  EXPECT_STREQ(disc.reader.volumes().At(1)->name, "#+-.");
  EXPECT_EQ(disc.reader.volumes().At(1)->dirBlock, 30);
  EXPECT_EQ(disc.reader.currentPartition(), 1);
  EXPECT_EQ(disc.reader.currentVolume(), -1);
}

TEST(ReadVolumes, ListSkipsTypeZeroAndEndsAfter128Entries) {
  DiscDescription description;
  description.partitions = {PartitionEntry{400, {}}};
  for (int i = 0; i < 130; ++i) description.partitions[0].volumes.push_back({.name = "V" + std::to_string(i)});
  OpenedImage many(description, "many");
  many.reader.ReadVolumes(0);
  EXPECT_EQ(many.reader.volumes().Count(), 128);
  EXPECT_STREQ(many.reader.volumes().At(127)->name, "V127");

  // An inactive entry is a hole, not the end.
  description.partitions[0].volumes.resize(3);
  description.partitions[0].volumes[0].type = 0;
  OpenedImage hole(description, "hole");
  hole.reader.ReadVolumes(0);
  ASSERT_EQ(hole.reader.volumes().Count(), 2);
  EXPECT_STREQ(hole.reader.volumes().At(0)->name, "V1");
}

TEST(ReadVolumes, BadNameClearsTheListAndThrows2) {
  DiscDescription description = OneVolume({});
  VolumeEntry bad{.name = "", .rawName = akaiimage::RawName{11, 12, 41, 10, 10, 10, 10, 10, 10, 10, 10, 10}};
  description.partitions[0].volumes.push_back(bad);
  OpenedImage disc(description);
  try {
    disc.reader.ReadVolumes(0);
    FAIL();
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }
  EXPECT_EQ(disc.reader.volumes().Count(), 0);
}

TEST(ReadVolumes, BadPartitionIndexThrows) {
  OpenedImage disc(ThreePartitions());
  try {
    disc.reader.ReadVolumes(3);
    FAIL();
  } catch (const ChainedListExeption& e) {
    EXPECT_EQ(e.code, -2);
  }
  try {
    disc.reader.ReadVolumes(4);
    FAIL();
  } catch (const ChainedListExeption& e) {
    EXPECT_EQ(e.code, -1);
  }
}

TEST(ReadFiles, ListsProgramsAndSamplesWithKindLengthAndStart) {
  FileEntry s3000Sample = Filled("PAD", 's', 20000, 1);
  s3000Sample.s3000Form = true;
  FileEntry s3000Program = Filled("PAD PROG", 'p', 600, 2);
  s3000Program.s3000Form = true;
  FileEntry big = Filled("BIG", 's', 0, 0);
  big.length = 0xFFFFFF;
  big.startBlock = 200;
  OpenedImage disc(OneVolume({Filled("KICK", 's', 16150, 3), Filled("KIT", 'p', 450, 4), s3000Sample, s3000Program,
                              Filled("ALL", 'a', 10, 5), Filled("FX", 'x', 10, 6), big}));
  disc.reader.ReadFiles(0, 0);
  EXPECT_EQ(FileNames(disc.reader), (std::vector<std::string>{"KICK", "KIT", "PAD", "PAD PROG", "BIG"}));
  const auto& files = disc.reader.files();
  EXPECT_EQ(files.At(0)->kind, S1000Sample);
  EXPECT_EQ(files.At(0)->length, 16150u);
  EXPECT_EQ(files.At(0)->startBlock, 4);  // after the directory in block 3
  EXPECT_EQ(files.At(1)->kind, S1000Program);
  EXPECT_EQ(files.At(1)->startBlock, 6);
  EXPECT_EQ(files.At(2)->kind, S3000Sample);
  EXPECT_EQ(files.At(3)->kind, S3000Program);
  EXPECT_EQ(files.At(4)->length, 0xFFFFFFu);  // all three length bytes
  EXPECT_EQ(files.At(4)->startBlock, 200);
  EXPECT_EQ(disc.reader.currentVolume(), 0);
}

TEST(ReadFiles, FreeEntriesAreSkipped) {
  std::vector<FileEntry> files = {Filled("A", 's', 10, 1), Filled("B", 's', 10, 1), Filled("C", 's', 10, 1),
                                  Filled("D", 's', 10, 1)};
  files[2].inUseWord = 0;
  OpenedImage disc(OneVolume(files));
  disc.reader.ReadFiles(0, 0);
  EXPECT_EQ(FileNames(disc.reader), (std::vector<std::string>{"A", "B", "D"}));
}

TEST(ReadFiles, AFullDirectoryStopsAtTheBlockEnd) {
  std::vector<FileEntry> files;
  for (int i = 0; i < 341; ++i) {
    FileEntry file = Filled("F" + std::to_string(i), 's', 0, 0);
    file.startBlock = 1;
    files.push_back(file);
  }
  OpenedImage disc(OneVolume(files));
  disc.reader.ReadFiles(0, 0);
  EXPECT_EQ(disc.reader.files().Count(), 341);
}

TEST(ReadFiles, BadNameClearsTheListEvenAfterGoodEntries) {
  FileEntry bad = Filled("", 's', 10, 1);
  bad.rawName = akaiimage::RawName{11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 200};
  OpenedImage disc(OneVolume({Filled("GOOD1", 's', 10, 1), Filled("GOOD2", 'p', 10, 1), bad}));
  try {
    disc.reader.ReadFiles(0, 0);
    FAIL();
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }
  EXPECT_EQ(disc.reader.files().Count(), 0);
}

TEST(ReadFiles, BadVolumeIndexThrows) {
  OpenedImage disc(OneVolume({}));
  try {
    disc.reader.ReadFiles(0, 1);
    FAIL();
  } catch (const ChainedListExeption& e) {
    EXPECT_EQ(e.code, -2);
  }
}

TEST(ReadFiles, RereadsTheVolumeListOnlyWhenEmptyOrThePartitionChanged) {
  DiscDescription description;
  description.partitions = {PartitionEntry{20, {VolumeEntry{.name = "A1"}, VolumeEntry{.name = "A2"}}},
                            PartitionEntry{20, {VolumeEntry{.name = "B1"}}}};
  OpenedImage disc(description);
  disc.reader.ReadPartitions();
  disc.counting.Forget();

  disc.reader.ReadFiles(0, 0);  // volume list, then directory
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{0, 3}));
  disc.counting.Forget();
  disc.reader.ReadFiles(0, 1);  // same partition: directory only
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{4}));
  disc.counting.Forget();
  disc.reader.ReadFiles(1, 0);  // partition changed
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{20, 21}));
  EXPECT_EQ(disc.reader.currentPartition(), 1);
  EXPECT_EQ(disc.reader.currentVolume(), 0);
  disc.counting.Forget();
  disc.reader.ReadVolumes(1);  // always re-reads, and keeps the volume of the same partition
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{20}));
  EXPECT_EQ(disc.reader.currentVolume(), 0);
  disc.reader.ReadVolumes(0);
  EXPECT_EQ(disc.reader.currentVolume(), -1);
}

TEST(ReadFiles, ReadFailurePassesThroughUnchanged) {
  OpenedImage disc(OneVolume({Filled("A", 's', 10, 1)}));
  disc.counting.failingBlocks = {3};  // the directory
  try {
    disc.reader.ReadFiles(0, 0);
    FAIL();
  } catch (const CDReaderException& e) {
    EXPECT_EQ(e.code, CDReaderException::kCommandFailed);
    EXPECT_EQ(e.status, 4);
  }
}

TEST(ReadContiguousBlocks, RequestsOf252SectorsAndOneRest) {
  FileEntry sample = Filled("LONG", 's', 70 * 8192, 0);
  for (size_t i = 0; i < sample.data.size(); i += 8192) sample.data[i] = static_cast<uint8_t>(i / 8192 + 1);
  OpenedImage disc(OneVolume({sample}));
  Access::ReadContiguousBlocks(disc.reader, 4, 70);
  EXPECT_EQ(disc.counting.requests(), (std::vector<testsupport::SectorRequest>{{16, 252, false}, {268, 28, false}}));
  for (int b = 0; b < 70; ++b) EXPECT_EQ(Access::FileBuffer(disc.reader)[b * 8192], b + 1);

  disc.counting.Forget();
  Access::ReadContiguousBlocks(disc.reader, 4, 63);
  EXPECT_EQ(disc.counting.Counts(), (std::vector<uint8_t>{252}));
  disc.counting.Forget();
  Access::ReadContiguousBlocks(disc.reader, 4, 0);
  EXPECT_TRUE(disc.counting.requests().empty());
}

// A program P of three blocks at 9, a file A in blocks 10 and 11, a file B in block 12.
DiscDescription SkipRuleDisc() {
  FileEntry program = Filled("P", 'p', 3 * 8192, 0);
  program.blocks = {9, 13, 14};
  for (int b = 0; b < 3; ++b) program.data[b * 8192] = static_cast<uint8_t>(0xA0 + b);
  FileEntry a = Filled("A", 's', 16384, 0xEE);
  a.startBlock = 10;
  FileEntry b = Filled("B", 's', 8192, 0xEE);
  b.startBlock = 12;
  return OneVolume({program, a, b});
}

TEST(ReadProgramBlocks, SkipsBlocksOfOtherListedFiles) {
  OpenedImage disc(SkipRuleDisc());
  disc.reader.ReadFiles(0, 0);
  disc.counting.Forget();
  Access::ReadProgramBlocks(disc.reader, 9, 3, 0);
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{9, 13, 14}));
  EXPECT_EQ(disc.counting.Counts(), (std::vector<uint8_t>{4, 4, 4}));
  for (int b = 0; b < 3; ++b) EXPECT_EQ(Access::FileBuffer(disc.reader)[b * 8192], 0xA0 + b);
}

TEST(ReadProgramBlocks, PartitionStartIsAddedToRelativeBlocks) {
  DiscDescription description = SkipRuleDisc();
  description.partitions.insert(description.partitions.begin(), PartitionEntry{30, {}});
  OpenedImage disc(description);
  disc.reader.ReadFiles(1, 0);
  disc.counting.Forget();
  Access::ReadProgramBlocks(disc.reader, 30 + 9, 3, 30);
  EXPECT_EQ(disc.counting.Blocks(), (std::vector<uint32_t>{39, 43, 44}));
}

TEST(FileBlocks, FileAtBlockNextFreeBlockAndIsFileStart) {
  FileEntry odd = Filled("ODD", 's', 8193, 1);
  odd.startBlock = 5;
  FileEntry empty = Filled("EMPTY", 's', 0, 0);
  empty.startBlock = 20;
  OpenedImage disc(OneVolume({odd, empty}));
  AkaiVolumeReader& reader = disc.reader;
  EXPECT_EQ(Access::FileAtBlock(reader, 5), -1);  // nothing listed yet
  EXPECT_FALSE(Access::IsFileStart(reader, 5));
  reader.ReadFiles(0, 0);
  EXPECT_EQ(Access::FileAtBlock(reader, 4), -1);
  EXPECT_EQ(Access::FileAtBlock(reader, 5), 0);
  EXPECT_EQ(Access::FileAtBlock(reader, 6), 0);
  EXPECT_EQ(Access::FileAtBlock(reader, 7), -1);
  EXPECT_EQ(Access::FileAtBlock(reader, 20), -1);  // a file of length 0 covers no block
  EXPECT_TRUE(Access::IsFileStart(reader, 5));
  EXPECT_TRUE(Access::IsFileStart(reader, 20));
  EXPECT_FALSE(Access::IsFileStart(reader, 6));
  EXPECT_EQ(Access::NextFreeBlock(reader, 5), 7);
  EXPECT_EQ(Access::NextFreeBlock(reader, 3), 3);
}

// Block numbers are 16-bit: a search that reaches the last block number without a free
// block fails as corrupt data instead of wrapping round to block 0.
TEST(FileBlocks, NextFreeBlockStopsAtTheLastBlockNumber) {
  FileEntry top = Filled("TOP", 's', 0, 0);
  top.length = 6 * 8192;
  top.startBlock = 65530;  // covers 65530..65535
  std::vector<FileEntry> files = {top};
  OpenedImage wrapping(OneVolume(files), "wrap");
  wrapping.reader.ReadFiles(0, 0);
  EXPECT_EQ(Access::NextFreeBlock(wrapping.reader, 65520), 65520);
  try {
    Access::NextFreeBlock(wrapping.reader, 65532);
    FAIL() << "wrapped round to a block below the search's start";
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }

  // 32 files of 2048 blocks cover all 65,536 block numbers.
  files.clear();
  for (int i = 0; i < 32; ++i) {
    FileEntry file = Filled("F" + std::to_string(i), 's', 0, 0);
    file.length = 0xFFFFFF;
    file.startBlock = static_cast<uint16_t>(i * 2048);
    files.push_back(file);
  }
  DiscDescription description = OneVolume(files);
  description.partitions[0].volumes[0].dirBlock = 1;  // no block is left to allocate
  description.imageBytes = uint64_t{2049} * 8192;      // so that blocks 2047 and 2048 exist
  OpenedImage covered(description, "covered");
  covered.reader.ReadFiles(0, 0);
  try {
    Access::NextFreeBlock(covered.reader, 100);
    FAIL() << "found a free block where there is none";
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }
  // A program read that needs to skip there fails the same way instead of hanging.
  EXPECT_THROW(Access::ReadProgramBlocks(covered.reader, 2047, 2, 0), AKAIException);
}

}  // namespace
