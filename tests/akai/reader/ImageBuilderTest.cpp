// The builder's bytes checked at their documented disc offsets, independently of the
// reader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "akai/DiscSignature.h"
#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

using akaiimage::BuildError;
using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;
using testsupport::Filled;

std::vector<uint8_t> Bytes(const DiscDescription& disc) {
  std::ifstream in(testsupport::BuildImage(disc, "bytes"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Word(const std::vector<uint8_t>& bytes, size_t at) { return bytes[at] | (bytes[at + 1] << 8); }

TEST(ImageBuilder, WritesTableVolumeListDirectoryAndData) {
  FileEntry program = Filled("kit", 'p', 10000, 0x77);
  program.s3000Form = true;
  DiscDescription disc;
  disc.partitions = {PartitionEntry{20, {VolumeEntry{.name = "DRUMS", .files = {Filled("K1", 's', 5, 0x66), program}}}},
                     PartitionEntry{7, {}}};
  const std::vector<uint8_t> bytes = Bytes(disc);
  ASSERT_EQ(bytes.size(), 27u * 8192);

  EXPECT_EQ(bytes[17664], 2);
  EXPECT_EQ(Word(bytes, 17666), 20);
  EXPECT_EQ(Word(bytes, 17668), 7);

  const uint8_t drums[12] = {14, 28, 31, 23, 29, 10, 10, 10, 10, 10, 10, 10};
  EXPECT_TRUE(std::equal(drums, drums + 12, bytes.begin() + 202));
  EXPECT_EQ(Word(bytes, 202 + 12), 1);  // volume type
  EXPECT_EQ(Word(bytes, 202 + 14), 3);  // directory after the disc header blocks
  EXPECT_EQ(Word(bytes, 202 + 16 + 12), 0);

  const size_t dir = 3 * 8192;
  EXPECT_EQ(bytes[dir], 21);  // 'K'
  EXPECT_EQ(bytes[dir + 16], 's');
  EXPECT_EQ(bytes[dir + 17], 5);
  EXPECT_EQ(Word(bytes, dir + 20), 4);
  EXPECT_EQ(Word(bytes, dir + 22), 1);
  const size_t second = dir + 24;
  EXPECT_EQ(bytes[second + 16], 'p' ^ 0x80);
  EXPECT_EQ(bytes[second + 17] | (bytes[second + 18] << 8) | (bytes[second + 19] << 16), 10000);
  EXPECT_EQ(Word(bytes, second + 20), 5);
  EXPECT_EQ(Word(bytes, dir + 48 + 22), 0);

  EXPECT_EQ(bytes[4 * 8192 + 4], 0x66);
  EXPECT_EQ(bytes[4 * 8192 + 5], 0);
  EXPECT_EQ(bytes[5 * 8192], 0x77);
  EXPECT_EQ(bytes[6 * 8192 + 10000 - 8192 - 1], 0x77);
  EXPECT_EQ(bytes[20 * 8192 + 202 + 12], 0);  // empty volume list of the second partition
}

TEST(ImageBuilder, SignatureIsWrittenOrDamagedInNBytes) {
  DiscDescription disc;
  disc.partitions = {PartitionEntry{4, {}}};
  std::vector<uint8_t> bytes = Bytes(disc);
  const auto expected = AkaiSignatureBytes();
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 8));

  for (int damaged : {4, 5}) {
    disc.damagedSignatureBytes = damaged;
    bytes = Bytes(disc);
    int differing = 0;
    for (size_t i = 0; i < expected.size(); ++i) differing += bytes[8 + i] != expected[i];
    EXPECT_EQ(differing, damaged);
    EXPECT_EQ(HasAkaiSignature(bytes.data(), 2048), damaged <= 4);
  }
  disc.writeSignature = false;
  EXPECT_FALSE(HasAkaiSignature(Bytes(disc).data(), 2048));
}

TEST(ImageBuilder, AllocatorGoesAroundExplicitBlocks) {
  FileEntry fixed = Filled("FIXED", 's', 8192, 1);
  fixed.startBlock = 5;
  DiscDescription disc;
  disc.partitions = {PartitionEntry{30, {VolumeEntry{.name = "V", .dirBlock = 4, .files = {Filled("A", 's', 8192, 2), fixed,
                                                                                             Filled("B", 's', 2 * 8192, 3)}}}}};
  const akaiimage::ImageLayout layout = akaiimage::WriteImage(disc, testsupport::FreshFolder("alloc") / "a.img");
  const akaiimage::VolumeLayout& volume = layout.partitions[0].volumes[0];
  EXPECT_EQ(volume.dirBlock, 4);
  EXPECT_EQ(volume.files[0].startBlock, 3);
  EXPECT_EQ(volume.files[1].startBlock, 5);
  EXPECT_EQ(volume.files[2].startBlock, 6);
  EXPECT_EQ(volume.files[2].absoluteBlocks, (std::vector<uint64_t>{6, 7}));
}

TEST(ImageBuilder, TableBeyond63PartitionsAndCutImages) {
  DiscDescription disc;
  disc.partitions.assign(70, PartitionEntry{3, {}});
  disc.partitions[0].sizeBlocks = 5;
  std::vector<uint8_t> bytes = Bytes(disc);
  EXPECT_EQ(bytes[17664], 70);
  EXPECT_EQ(Word(bytes, 17666 + 2 * 69), 3);
  EXPECT_EQ(bytes.size(), (5u + 69 * 3) * 8192);

  disc.partitionCountByte = 200;
  disc.imageBytes = 3 * 8192 + 100;
  bytes = Bytes(disc);
  EXPECT_EQ(bytes[17664], 200);
  EXPECT_EQ(bytes.size(), 3u * 8192 + 100);
}

TEST(ImageBuilder, RejectsWhatTheFormatCannotHold) {
  const std::filesystem::path path = testsupport::FreshFolder("reject") / "r.img";
  auto withFiles = [](std::vector<FileEntry> files, uint16_t size = 100) {
    DiscDescription disc;
    disc.partitions = {PartitionEntry{size, {VolumeEntry{.name = "V", .files = std::move(files)}}}};
    return disc;
  };
  EXPECT_THROW(akaiimage::WriteImage(withFiles(std::vector<FileEntry>(342, Filled("F", 's', 0, 0))), path), BuildError);
  FileEntry tooLong = Filled("L", 's', 0, 0);
  tooLong.length = 0x1000000;
  EXPECT_THROW(akaiimage::WriteImage(withFiles({tooLong}), path), BuildError);
  FileEntry overfull = Filled("O", 's', 100, 0);
  overfull.length = 10;
  overfull.blocks = {};
  EXPECT_NO_THROW(akaiimage::WriteImage(withFiles({overfull}), path));  // fits its one block
  overfull.data.assign(9000, 0);
  EXPECT_THROW(akaiimage::WriteImage(withFiles({overfull}), path), BuildError);
  EXPECT_THROW(akaiimage::WriteImage(withFiles({Filled("BIG", 's', 10 * 8192, 0)}, 8), path), BuildError);
  EXPECT_THROW(akaiimage::WriteImage(withFiles({Filled("low_line", 's', 1, 0)}), path), std::invalid_argument);

  DiscDescription crowded;
  crowded.partitions = {PartitionEntry{1000, std::vector<VolumeEntry>(500, VolumeEntry{.name = "V"})}};
  EXPECT_THROW(akaiimage::WriteImage(crowded, path), BuildError);
}

}  // namespace
