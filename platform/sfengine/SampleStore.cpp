#include "platform/sfengine/internal/SampleStore.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>

#include "platform/mmio/FileCopy.h"

namespace sfengine {

SampleStore::~SampleStore() {
  if (fd_ >= 0) close(fd_);
}

SampleStore::SampleStore(SampleStore&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

SampleStore& SampleStore::operator=(SampleStore&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

// An unnamed file where the file system offers one; else a named one, unlinked at once.
bool SampleStore::Open() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return false;
  fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) return true;
  std::string pattern = (folder / "carvox-bank-XXXXXX").string();
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  unlink(pattern.c_str());
  return true;
}

std::optional<uint64_t> SampleStore::Append(int from, uint64_t offset, uint64_t bytes) {
  if (fd_ < 0 && !Open()) return std::nullopt;
  // A failed copy may leave bytes past the store's size: the next append writes over them.
  if (!platform::CopyFileBytes(from, offset, fd_, size_, bytes)) return std::nullopt;
  const uint64_t at = size_;
  size_ += bytes;
  return at;
}

}  // namespace sfengine
