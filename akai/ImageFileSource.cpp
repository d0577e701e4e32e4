#include "akai/ImageFileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ImageOpenError::ImageOpenError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error("cannot open disc image '" + path.string() + "': " + reason), path_(path) {}

ImageFileSource::ImageFileSource(const std::filesystem::path& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw ImageOpenError(path, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    const std::string reason = S_ISDIR(info.st_mode) ? "it is a folder" : std::strerror(errno);
    ::close(fd_);
    throw ImageOpenError(path, reason);
  }
  sizeBytes_ = static_cast<uint64_t>(info.st_size);
}

ImageFileSource::~ImageFileSource() { ::close(fd_); }

void ImageFileSource::ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) {
  const size_t wanted = size_t{count} * kSectorSize;
  const off_t offset = static_cast<off_t>(uint64_t{lba} * kSectorSize);
  size_t done = 0;
  while (done < wanted) {
    const ssize_t got = ::pread(fd_, buffer + done, wanted - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    // End of file before the last sector, or an I/O error: the read fails as a whole,
    // as a drive's read command would.
    if (got <= 0) throw CDReaderException{CDReaderException::kCommandFailed, kReadErrorStatus};
    done += static_cast<size_t>(got);
  }
}
