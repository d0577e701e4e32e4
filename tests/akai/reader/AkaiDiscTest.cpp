// Opening a disc over any sector source: where it stops, and the partitions it leaves
// out, recorded while the table is read (block 2 is read once).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "akai/AkaiDisc.h"
#include "tests/akai/reader/ReaderTestSupport.h"

namespace {

using akaiimage::DiscDescription;
using akaiimage::PartitionEntry;

DiscDescription ThreePartitions() {
  DiscDescription disc;
  disc.partitions = {PartitionEntry{100, {}}, PartitionEntry{50, {}}, PartitionEntry{200, {}}};
  return disc;
}

TEST(AkaiDisc, RecordsSkippedPartitionsWithoutReadingTheTableAgain) {
  testsupport::OpenedImage image(ThreePartitions());
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

TEST(AkaiDisc, OpeningStopsAtTheStepThatFails) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::set<uint32_t> failingBlocks;
    AkaiDisc::Step step;
  } cases[] = {
      {"no first sector", {}, {}, AkaiDisc::Step::kFirstSector},
      {"no signature", std::vector<uint8_t>(4 * 8192), {}, AkaiDisc::Step::kSignature},
      {"table unreadable", {}, {2}, AkaiDisc::Step::kPartitionTable},
  };
  std::ifstream file(testsupport::BuildImage(ThreePartitions(), "steps"), std::ios::binary);
  const std::vector<uint8_t> akai{std::istreambuf_iterator<char>(file), {}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::MemorySource memory(c.failingBlocks.empty() ? c.bytes : akai);
    testsupport::CountingSource source(memory);
    source.failingBlocks = c.failingBlocks;
    try {
      AkaiDisc disc(source);
      ADD_FAILURE() << "opened";
    } catch (const AkaiDisc::OpenError& error) {
      EXPECT_EQ(error.step, c.step);
      EXPECT_EQ(error.cause == nullptr, c.step == AkaiDisc::Step::kSignature);
    }
  }
}

}  // namespace
