#include "akai/ImageFileSource.h"

ImageOpenError::ImageOpenError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error("cannot open disc image '" + path.string() + "': " + reason), path_(path) {}

ImageFileSource::ImageFileSource(const std::filesystem::path& path) : path_(path), file_(Open(path)) {}

discimage::DiscImageFile ImageFileSource::Open(const std::filesystem::path& path) {
  try {
    return discimage::DiscImageFile(path);
  } catch (const discimage::OpenError& e) {
    throw ImageOpenError(path, e.reason());
  }
}

void ImageFileSource::ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) {
  if (!file_.ReadSectors(lba, buffer, count)) throw CDReaderException{CDReaderException::kCommandFailed, kReadErrorStatus};
}

std::optional<FileRun> ImageFileSource::FileRunOf(uint32_t lba, uint32_t count) const {
  const std::optional<uint64_t> offset = file_.DataOffsetOf(lba, count);
  if (!offset) return std::nullopt;
  return FileRun{file_.descriptor(), *offset, uint64_t{count} * kSectorSize};
}
