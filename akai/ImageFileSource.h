#pragma once
// A SectorSource over a disc image file: 2048-byte sectors from byte 0 (.iso, .img),
// raw 2352-byte sectors (found by their sync pattern), or a cue sheet naming its data
// file (platform/discimage). Reads go straight to the file; nothing is cached.

#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "akai/SectorSource.h"
#include "platform/discimage/DiscImage.h"

// The image file could not be opened (missing, unreadable, a folder, a cue sheet
// that names no usable data track or a missing data file).
class ImageOpenError : public std::runtime_error {
 public:
  ImageOpenError(const std::filesystem::path& path, const std::string& reason);
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class ImageFileSource : public SectorSource {
 public:
  // The status of the CDReaderException {2, status} thrown for a read that reaches past
  // the end of the image or that the file system fails: the request status a drive
  // reports for a command that completed with an error.
  static constexpr int32_t kReadErrorStatus = 4;

  explicit ImageFileSource(const std::filesystem::path& path);
  ImageFileSource(const ImageFileSource&) = delete;
  ImageFileSource& operator=(const ImageFileSource&) = delete;

  // A read of which any byte lies past the end of the image fails as a whole.
  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override;
  // Images of 2048-byte sectors hand out their runs; raw-sector images do not.
  std::optional<FileRun> FileRunOf(uint32_t lba, uint32_t count) const override;

  const std::filesystem::path& path() const { return path_; }
  // The bytes of sector data the image holds (2048 per sector).
  uint64_t sizeBytes() const { return file_.dataBytes(); }

 private:
  static discimage::DiscImageFile Open(const std::filesystem::path& path);

  std::filesystem::path path_;
  discimage::DiscImageFile file_;
};
