#pragma once
// The allocation table (FAT) of a partition header as real AKAI media carry it: one
// 16-bit word per block of the partition at byte 0x070A of the header, naming the
// block that follows in the same file or directory, or one of the end marks below.
// Images laid out without a header carry no FAT; the reader then uses its plain
// layout rules (contiguous samples, the skip rule for programs, one directory block).

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "akai/SectorSource.h"

class PartitionFat {
 public:
  static constexpr uint16_t kFree = 0x0000;
  static constexpr uint16_t kSystem = 0x4000;  // header blocks; end of an S1000 directory
  static constexpr uint16_t kEndOfS3000Directory = 0x8000;
  static constexpr uint16_t kEndOfFile = 0xC000;
  static constexpr uint32_t kMaxWords = 7680;  // a partition holds at most 7680 blocks

  // Forgets the table (a partition without a header, or none read yet).
  void Clear();
  // Takes the table from the partition's first block (`firstBlock`, 8192 bytes). The
  // table counts only in a real header: its blocks 0..2 marked as system blocks, or
  // the header pattern after the size word.
  // Words past the first block are read from the header's next two blocks on demand.
  void Load(const uint8_t* firstBlock, uint32_t partitionStart, uint16_t sizeBlocks);

  bool present() const { return present_; }
  // Whether blocks first .. first + count - 1 are all marked as system blocks (all lie
  // in the header's first block).
  bool SystemBlocks(uint32_t first, uint32_t count) const;

  // The blocks of a file of `blockCount` blocks from `startBlock`, when its chain is
  // sound: every link inside the partition, no block twice, kEndOfFile after exactly
  // `blockCount` blocks. Otherwise nothing (the caller falls back to its plain rules).
  std::optional<std::vector<uint16_t>> FileChain(uint16_t startBlock, uint32_t blockCount, SectorSource& source);

  // How many 24-byte entries the directory at `dirBlock` holds, and its second block:
  // an S1000 directory (marked kSystem) 126 in one block; a directory chained to a
  // second block 510 across both; any other 341 in one block.
  struct DirectoryExtent {
    uint32_t entries = 341;
    std::optional<uint16_t> secondBlock;
  };
  DirectoryExtent Directory(uint16_t dirBlock, SectorSource& source);

 private:
  uint16_t Word(uint32_t block, SectorSource& source);
  bool Inside(uint32_t block) const { return block > 0 && block < limit_; }

  bool present_ = false;
  uint32_t partitionStart_ = 0;
  uint32_t limit_ = 0;  // blocks the table describes: the partition's size, at most kMaxWords
  bool restLoaded_ = false;
  std::unique_ptr<uint8_t[]> header_;  // the header's three blocks
};
