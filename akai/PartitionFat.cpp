#include "akai/PartitionFat.h"

#include <cstring>

#include "akai/LittleEndian.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kHeaderBlocks = 3;
constexpr uint32_t kFatOffset = 0x070A;
// Words whose bytes lie wholly in the header's first block.
constexpr uint32_t kWordsInFirstBlock = (kBlockSize - kFatOffset) / 2;
constexpr uint32_t kS1000DirectoryEntries = 126;
constexpr uint32_t kOneBlockEntries = kBlockSize / 24;
constexpr uint32_t kTwoBlockEntries = 510;

}  // namespace

void PartitionFat::Clear() {
  present_ = false;
  restLoaded_ = false;
}

void PartitionFat::Load(const uint8_t* firstBlock, uint32_t partitionStart, uint16_t sizeBlocks) {
  Clear();
  if (!header_) header_ = std::make_unique<uint8_t[]>(size_t{kHeaderBlocks} * kBlockSize);
  std::memcpy(header_.get(), firstBlock, kBlockSize);
  partitionStart_ = partitionStart;
  limit_ = sizeBlocks < kMaxWords ? sizeBlocks : kMaxWords;
  // A real header is known by its own blocks marked in the FAT, or by the pattern
  // that follows its size word (word i = i x 3333), should a mark be damaged.
  bool marked = true;
  for (uint32_t b = 0; b < kHeaderBlocks; ++b) marked = marked && ReadU16(firstBlock + kFatOffset + 2 * b) == kSystem;
  const bool patterned = ReadU16(firstBlock + 4) == 3333 && ReadU16(firstBlock + 6) == 6666;
  present_ = limit_ >= kHeaderBlocks && (marked || patterned);
}

bool PartitionFat::SystemBlocks(uint32_t first, uint32_t count) const {
  for (uint32_t b = first; b < first + count; ++b) {
    if (b >= limit_ || b >= kWordsInFirstBlock || ReadU16(header_.get() + kFatOffset + 2 * b) != kSystem) return false;
  }
  return true;
}

uint16_t PartitionFat::Word(uint32_t block, SectorSource& source) {
  if (block >= kWordsInFirstBlock && !restLoaded_) {
    constexpr uint32_t kSectorsPerBlock = kBlockSize / SectorSource::kSectorSize;
    source.ReadSectors((partitionStart_ + 1) * kSectorsPerBlock, header_.get() + kBlockSize,
                       static_cast<uint8_t>((kHeaderBlocks - 1) * kSectorsPerBlock));
    restLoaded_ = true;
  }
  return ReadU16(header_.get() + kFatOffset + 2 * block);
}

std::optional<std::vector<uint16_t>> PartitionFat::FileChain(uint16_t startBlock, uint32_t blockCount,
                                                             SectorSource& source) {
  if (!present_ || blockCount == 0 || blockCount > limit_) return std::nullopt;
  std::vector<bool> seen(limit_, false);
  std::vector<uint16_t> chain;
  uint32_t block = startBlock;
  // Every step marks a new block of the partition, so the walk ends within its size.
  while (true) {
    if (!Inside(block) || seen[block]) return std::nullopt;
    seen[block] = true;
    chain.push_back(static_cast<uint16_t>(block));
    const uint16_t next = Word(block, source);
    if (chain.size() == blockCount) {
      if (next != kEndOfFile) return std::nullopt;
      return chain;
    }
    block = next;
  }
}

PartitionFat::DirectoryExtent PartitionFat::Directory(uint16_t dirBlock, SectorSource& source) {
  if (!present_ || !Inside(dirBlock)) return {};
  const uint16_t next = Word(dirBlock, source);
  if (next == kSystem) return {kS1000DirectoryEntries, std::nullopt};
  if (Inside(next) && next != dirBlock) return {kTwoBlockEntries, next};
  return {kOneBlockEntries, std::nullopt};
}
