#pragma once
// Sector sources for reader tests: one over bytes in memory, and one that records every
// request it passes on (and can fail chosen blocks).

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "akai/SectorSource.h"

namespace testsupport {

// Sectors from a byte vector; a read past its end fails like an image read.
class MemorySource : public SectorSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override {
    const uint64_t offset = uint64_t{lba} * kSectorSize;
    const uint64_t length = uint64_t{count} * kSectorSize;
    if (offset + length > bytes_.size()) throw CDReaderException{CDReaderException::kCommandFailed, 4};
    std::memcpy(buffer, bytes_.data() + offset, length);
  }

  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

struct SectorRequest {
  uint32_t lba;
  uint8_t count;
  bool quiet;
  bool operator==(const SectorRequest&) const = default;
};

// Passes requests on to `inner`, recording each one; requests touching a block of
// `failingBlocks` throw CDReaderException {2, 4} instead.
class CountingSource : public SectorSource {
 public:
  explicit CountingSource(SectorSource& inner) : inner_(inner) {}

  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override {
    requests_.push_back({lba, count, QuietMode()});
    for (uint32_t sector = lba; sector < lba + count; ++sector) {
      if (failingBlocks.count(sector / 4) != 0) throw CDReaderException{CDReaderException::kCommandFailed, 4};
    }
    inner_.ReadSectors(lba, buffer, count);
  }

  const std::vector<SectorRequest>& requests() const { return requests_; }
  void Forget() { requests_.clear(); }

  // The first block of every request (for block-by-block reads).
  std::vector<uint32_t> Blocks() const {
    std::vector<uint32_t> blocks;
    for (const SectorRequest& r : requests_) blocks.push_back(r.lba / 4);
    return blocks;
  }
  std::vector<uint8_t> Counts() const {
    std::vector<uint8_t> counts;
    for (const SectorRequest& r : requests_) counts.push_back(r.count);
    return counts;
  }

  std::set<uint32_t> failingBlocks;

 private:
  SectorSource& inner_;
  std::vector<SectorRequest> requests_;
};

}  // namespace testsupport
