#pragma once
// Disc image files read as 2048-byte data sectors, whatever way they hold them:
//   - 2048-byte sectors from byte 0 (.iso, .img);
//   - raw 2352-byte sectors (a .bin or .img copied from a CD), each starting with the
//     12-byte sync pattern, then a 4-byte header whose last byte is the mode: mode 1
//     holds its 2048 data bytes from offset 16, mode 2 form 1 from offset 24;
//   - a cue sheet (.cue) naming the data file and the track mode.
// A raw image without a cue sheet is known by the sync pattern at its start.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace discimage {

inline constexpr uint32_t kDataSectorSize = 2048;
inline constexpr uint32_t kRawSectorSize = 2352;
inline constexpr std::array<uint8_t, 12> kSyncPattern = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
inline constexpr uint32_t kModeByte = 15;        // in a raw sector's header
inline constexpr uint32_t kSubmodeByte = 18;     // mode 2: bit 5 set for form 2
inline constexpr uint32_t kMode1DataOffset = 16;
inline constexpr uint32_t kMode2DataOffset = 24;

// Where the data bytes of each sector lie in the file that holds them.
struct SectorLayout {
  std::filesystem::path dataFile;
  uint64_t firstSector = 0;         // byte offset of the track's first sector
  uint32_t stride = kDataSectorSize;  // bytes per sector in the file
  uint32_t dataOffset = 0;          // of the 2048 data bytes inside each sector
};

// An image that cannot be opened or understood; the text names the file at fault.
class OpenError : public std::runtime_error {
 public:
  OpenError(const std::filesystem::path& file, const std::string& reason);
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// The layout of a cue sheet's first data track ("MODE1/2048", "MODE1/2352" or
// "MODE2/2352"), its data file resolved against `folder`. Throws OpenError (naming
// `cue`) for a sheet without a data track, an unknown mode, or no data file.
SectorLayout ParseCueSheet(std::string_view text, const std::filesystem::path& folder,
                           const std::filesystem::path& cue);

// An image file opened for reading data sectors.
class DiscImageFile {
 public:
  // Opens `path`: a cue sheet when it ends in ".cue", a raw image when it starts with
  // the sync pattern, else 2048-byte sectors. Throws OpenError.
  explicit DiscImageFile(const std::filesystem::path& path);
  ~DiscImageFile();
  DiscImageFile(const DiscImageFile&) = delete;
  DiscImageFile& operator=(const DiscImageFile&) = delete;

  // Reads `count` data sectors from `lba` into `buffer` (count x 2048 bytes). False
  // when any of them lies (even partly) past the end of the file, or the file fails.
  bool ReadSectors(uint64_t lba, uint8_t* buffer, uint32_t count);

  // The byte offset in the data file of `count` data sectors from `lba` when the file
  // holds them as they are (2048-byte sectors) and whole; else nothing.
  std::optional<uint64_t> DataOffsetOf(uint64_t lba, uint32_t count) const;
  // The open data file, for copies at the offsets DataOffsetOf gives.
  int descriptor() const { return fd_; }

  // The bytes of data the image holds: the file's size for 2048-byte sectors (a
  // partial last sector included), 2048 per whole sector for raw sectors.
  uint64_t dataBytes() const { return dataBytes_; }
  const SectorLayout& layout() const { return layout_; }

 private:
  bool ReadExactly(uint64_t offset, uint8_t* buffer, size_t count);
  void Open(const std::filesystem::path& file);
  void CheckRawTrack(const std::filesystem::path& named);

  SectorLayout layout_;
  int fd_ = -1;
  uint64_t fileBytes_ = 0;
  uint64_t dataBytes_ = 0;
};

}  // namespace discimage
