#pragma once
// The partition table in block 2: a count byte at offset 1280, an unused byte, then
// 16-bit partition sizes. At most 63 sizes are taken (the table is the 128 bytes from
// offset 1280). Starts are running sums of the sizes kept in 16 bits, as on disc.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "akai/LittleEndian.h"

constexpr size_t kPartitionTableOffset = 1280;
constexpr size_t kPartitionTableLength = 128;
constexpr int kMaxPartitions = 63;

struct PartitionTableEntry {
  uint16_t startBlock = 0;
  uint16_t sizeBlocks = 0;
};

// `table` is the 128 bytes from offset 1280 of block 2.
inline std::vector<PartitionTableEntry> ParsePartitionTable(const uint8_t* table) {
  int count = table[0];
  if (count > kMaxPartitions) count = kMaxPartitions;
  std::vector<PartitionTableEntry> entries;
  uint16_t start = 0;
  for (int i = 0; i < count; ++i) {
    const uint16_t size = ReadU16(table + 2 + 2 * i);
    entries.push_back({start, size});
    start = static_cast<uint16_t>(start + size);
  }
  return entries;
}
