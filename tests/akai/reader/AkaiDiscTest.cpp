// Opening a disc over any sector source: the partitions it leaves out are recorded
// while the table is read (block 2 is read once). Where opening stops is seen through
// carvox-cli's messages (tests/tools).
#include <gtest/gtest.h>

#include "akai/AkaiDisc.h"
#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

TEST(AkaiDisc, RecordsSkippedPartitionsWithoutReadingTheTableAgain) {
  testsupport::OpenedImage image(testsupport::ThreePartitions());
  image.counting.failingBlocks = {100};
  AkaiDisc disc(image.counting);
  ASSERT_EQ(disc.skipped().size(), 1u);
  EXPECT_EQ(disc.skipped()[0].tableIndex, 1);
  EXPECT_EQ(disc.skipped()[0].start, 100);
  EXPECT_EQ(disc.skipped()[0].size, 50);
  EXPECT_EQ(disc.reader().partitions().Count(), 2);
  // Sector 0 (block 0), the table, then one probe per partition.
  EXPECT_EQ(image.counting.Blocks(), (std::vector<uint32_t>{0, 2, 0, 100, 150}));
}

}  // namespace
