// Randomly damaged images (fixed seed) walked through the whole listing and file reads:
// the reader may only fail with its own exceptions, never with undefined behaviour
// (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;
using testsupport::Filled;

std::vector<uint8_t> GoodImage() {
  DiscDescription disc;
  FileEntry s3000 = Filled("S3K", 's', 9000, 3);
  s3000.s3000Form = true;
  disc.partitions = {
      PartitionEntry{40, {VolumeEntry{.name = "ONE", .files = {Filled("A", 's', 20000, 1), Filled("P", 'p', 900, 2)}},
                          VolumeEntry{.name = "TWO", .files = {s3000, Filled("Q", 'p', 9000, 4)}}}},
      PartitionEntry{30, {VolumeEntry{.name = "THREE", .files = {Filled("B", 's', 100, 5)}}}}};
  std::ifstream in(testsupport::BuildImage(disc, "good"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcomes {
  int completed = 0;
  int akai = 0;
  int chainedList = 0;
  int read = 0;
};

template <typename Step>
bool Try(Step step, Outcomes& outcomes) {
  try {
    step();
    return true;
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
    ++outcomes.akai;
  } catch (const ChainedListExeption& e) {
    EXPECT_TRUE(e.code == -1 || e.code == -2);
    ++outcomes.chainedList;
  } catch (const CDReaderException& e) {
    EXPECT_EQ(e.code, CDReaderException::kCommandFailed);
    ++outcomes.read;
  }
  return false;
}

void ReadFileBlocks(AkaiVolumeReader& reader, uint16_t partitionStart, const AkaiFile& file) {
  const uint32_t blocks = std::min<uint32_t>((file.length + 8191) / 8192, 16);
  const uint32_t first = uint32_t{partitionStart} + file.startBlock;
  if (file.kind == S1000Program || file.kind == S3000Program) {
    AkaiVolumeReaderTestAccess::ReadProgramBlocks(reader, first, blocks, partitionStart);
  } else {
    AkaiVolumeReaderTestAccess::ReadContiguousBlocks(reader, first, blocks);
  }
}

void WalkEverything(AkaiVolumeReader& reader, Outcomes& outcomes) {
  if (!Try([&] { reader.ReadPartitions(); }, outcomes)) return;
  for (int p = 0; p < reader.partitions().Count(); ++p) {
    const uint16_t start = reader.partitions().At(p)->startBlock;
    if (!Try([&] { reader.ReadVolumes(static_cast<uint16_t>(p)); }, outcomes)) continue;
    for (int v = 0; v < reader.volumes().Count(); ++v) {
      if (!Try([&] { reader.ReadFiles(static_cast<uint16_t>(p), static_cast<uint16_t>(v)); }, outcomes)) continue;
      for (int f = 0; f < reader.files().Count(); ++f) {
        const AkaiFile file = *reader.files().At(f);
        Try([&] { ReadFileBlocks(reader, start, file); }, outcomes);
      }
    }
  }
  ++outcomes.completed;
}

// Byte ranges that hold structure: the signature, the partition table, volume lists
// and directories.
struct Region {
  size_t offset;
  size_t length;
};

TEST(CorruptImages, OnlyTheReadersOwnExceptionsComeOut) {
  const std::vector<uint8_t> good = GoodImage();
  const std::vector<Region> regions = {{0, 2048},             {2 * 8192 + 1280, 128}, {202, 16 * 4},
                                       {3 * 8192, 24 * 4},    {8 * 8192, 24 * 4},     {40 * 8192 + 202, 16 * 2},
                                       {41 * 8192, 24 * 2}};
  std::mt19937 random(20240611);
  Outcomes outcomes;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes = good;
    const int damage = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < damage; ++i) {
      const Region& region = regions[random() % regions.size()];
      bytes[region.offset + random() % region.length] = static_cast<uint8_t>(random());
    }
    if (random() % 8 == 0) bytes.resize(random() % bytes.size());
    testsupport::MemorySource source(std::move(bytes));
    AkaiVolumeReader reader(source);
    WalkEverything(reader, outcomes);
  }
  // The loop reached every kind of failure, and good walks too.
  EXPECT_GT(outcomes.completed, 0);
  EXPECT_GT(outcomes.akai, 0);
  EXPECT_GT(outcomes.read, 0);
}

}  // namespace
