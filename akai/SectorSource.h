#pragma once
#include <cstdint>
#include <optional>

#include "akai/CDReaderException.h"

// Bytes that lie one after the other in an open file: `bytes` bytes from `offset` of
// the file open as `fd` (owned by whoever handed out the run).
struct FileRun {
  int fd = -1;
  uint64_t offset = 0;
  uint64_t bytes = 0;
};

// What the AKAI reader needs from a device: 2048-byte sectors by 24-bit LBA.
class SectorSource {
 public:
  static constexpr uint32_t kSectorSize = 2048;

  virtual ~SectorSource() = default;

  // Reads `count` consecutive sectors starting at `lba` into `buffer`
  // (count * 2048 bytes). Throws CDReaderException on failure.
  virtual void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) = 0;

  // Where `count` sectors from `lba` lie as they are, one after the other, in a file
  // that can be copied from directly; nothing for a device, for a file that holds
  // them in another layout, or when any of them lies (even partly) past its end.
  virtual std::optional<FileRun> FileRunOf(uint32_t /*lba*/, uint32_t /*count*/) const { return std::nullopt; }

  // While set, a failing read throws at once instead of offering a retry.
  bool QuietMode() const { return quietMode_; }
  void SetQuietMode(bool quiet) { quietMode_ = quiet; }

 private:
  bool quietMode_ = false;
};
