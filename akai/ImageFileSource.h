#pragma once
// A SectorSource over a raw disc image file (2048-byte sectors from byte 0, as in .iso
// and .img files). Reads go straight to the file with pread; nothing is cached.

#include <cstdint>
#include <filesystem>
#include <stdexcept>

#include "akai/SectorSource.h"

// The image file could not be opened (missing, unreadable, a folder).
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
  ~ImageFileSource() override;
  ImageFileSource(const ImageFileSource&) = delete;
  ImageFileSource& operator=(const ImageFileSource&) = delete;

  // A read of which any byte lies past the end of the image fails as a whole.
  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override;

  const std::filesystem::path& path() const { return path_; }
  uint64_t sizeBytes() const { return sizeBytes_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  uint64_t sizeBytes_ = 0;
};
