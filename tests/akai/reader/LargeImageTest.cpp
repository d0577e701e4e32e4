// Images of more than 65,536 blocks: partition starts stay 16-bit (their running sum
// wraps), while a partition start plus a relative block is a 32-bit sum.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

using Access = AkaiVolumeReaderTestAccess;

using akaiimage::DiscDescription;
using akaiimage::FileEntry;
using akaiimage::PartitionEntry;
using akaiimage::VolumeEntry;

TEST(LargeImage, FilesBeyondBlock65535AndWrappedPartitionStarts) {
  FileEntry sample = testsupport::Filled("HIGH", 's', 3 * 8192, 0);
  for (int b = 0; b < 3; ++b) sample.data[b * 8192] = static_cast<uint8_t>(0x50 + b);
  DiscDescription description;
  description.partitions = {PartitionEntry{65535, {VolumeEntry{.name = "LOW"}}},
                            PartitionEntry{30, {VolumeEntry{.name = "ABOVE", .files = {sample}}}},
                            PartitionEntry{10, {VolumeEntry{.name = "WRAPPED"}}}};
  const std::filesystem::path path = testsupport::BuildImage(description, "large");

  // Written sparse: half a gigabyte long, a few blocks on disc.
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, int64_t{65575} * 8192);
  EXPECT_LT(info.st_blocks * 512, int64_t{16} * 1024 * 1024);

  ImageFileSource image(path);
  testsupport::CountingSource counting(image);
  AkaiVolumeReader reader(counting);
  reader.ReadPartitions();
  ASSERT_EQ(reader.partitions().Count(), 3);
  EXPECT_EQ(reader.partitions().At(1)->startBlock, 65535);
  EXPECT_EQ(reader.partitions().At(2)->startBlock, 29);  // 65565 kept modulo 65536

  counting.Forget();
  reader.ReadFiles(1, 0);
  EXPECT_EQ(counting.Blocks(), (std::vector<uint32_t>{65535, 65536}));
  ASSERT_EQ(reader.files().Count(), 1);
  const AkaiFile& file = *reader.files().At(0);
  EXPECT_EQ(file.startBlock, 2);
  Access::ReadContiguousBlocks(reader, uint32_t{65535} + file.startBlock, 3);
  for (int b = 0; b < 3; ++b) EXPECT_EQ(Access::FileBuffer(reader)[b * 8192], 0x50 + b);

  // The wrapped partition is looked for at block 29, inside the first partition,
  // which holds no volume list there.
  counting.Forget();
  reader.ReadVolumes(2);
  EXPECT_EQ(counting.Blocks(), (std::vector<uint32_t>{29}));
  EXPECT_EQ(reader.volumes().Count(), 0);
}

}  // namespace
