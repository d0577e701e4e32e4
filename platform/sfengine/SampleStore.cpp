#include "platform/sfengine/internal/SampleStore.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>

#include "platform/mmio/FileCopy.h"

namespace sfengine {
namespace {

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

SampleStore::~SampleStore() { CloseAll(); }

SampleStore::SampleStore(SampleStore&& other) noexcept
    : files_(std::exchange(other.files_, {})), spill_(std::exchange(other.spill_, std::nullopt)),
      spillSize_(std::exchange(other.spillSize_, 0)) {}

SampleStore& SampleStore::operator=(SampleStore&& other) noexcept {
  if (this != &other) {
    CloseAll();
    files_ = std::exchange(other.files_, {});
    spill_ = std::exchange(other.spill_, std::nullopt);
    spillSize_ = std::exchange(other.spillSize_, 0);
  }
  return *this;
}

void SampleStore::CloseAll() {
  for (const File& file : files_) close(file.descriptor);
  files_.clear();
}

std::optional<StoredWords> SampleStore::Take(int from, uint64_t offset, uint64_t bytes) {
  struct stat status {};
  if (fstat(from, &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<uint64_t>(status.st_size) < offset + bytes) {
    return std::nullopt;
  }
  const std::size_t keptFiles = files_.size() - (spill_ ? 1 : 0);
  if (keptFiles < kMaxKeptFiles) {
    if (std::optional<StoredWords> kept = Keep(from, offset, status)) return kept;
  }
  return Spill(from, offset, bytes);
}

// Keeps a duplicate of `from`, with the size and modification time (`status`) that
// tell at the save whether the file is still as it was.
std::optional<StoredWords> SampleStore::Keep(int from, uint64_t offset, const struct stat& status) {
  const int descriptor = fcntl(from, F_DUPFD_CLOEXEC, 0);
  if (descriptor < 0) return std::nullopt;
  files_.push_back({descriptor, status.st_size, status.st_mtim});
  return StoredWords{files_.size() - 1, offset};
}

std::optional<StoredWords> SampleStore::Spill(int from, uint64_t offset, uint64_t bytes) {
  if (!spill_ && !OpenSpillFile()) return std::nullopt;
  // A failed copy may leave bytes past the spill file's size: the next one writes over them.
  if (!platform::CopyFileBytes(from, offset, files_[*spill_].descriptor, spillSize_, bytes)) return std::nullopt;
  const StoredWords words{*spill_, spillSize_};
  spillSize_ += bytes;
  return words;
}

// An unnamed file where the file system offers one; else a named one, unlinked at once.
bool SampleStore::OpenSpillFile() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return false;
  int descriptor = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    std::string pattern = (folder / "carvox-bank-XXXXXX").string();
    descriptor = mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0) return false;
    unlink(pattern.c_str());
  }
  files_.push_back({descriptor, 0, {}});
  spill_ = files_.size() - 1;
  return true;
}

bool SampleStore::CopyOut(const StoredWords& words, uint64_t bytes, int to, uint64_t toOffset) const {
  if (words.file >= files_.size()) return false;
  const File& file = files_[words.file];
  if (words.file != spill_) {
    struct stat status {};
    if (fstat(file.descriptor, &status) != 0 || status.st_size != file.size ||
        !SameTime(status.st_mtim, file.modified)) {
      return false;
    }
  }
  return platform::CopyFileBytes(file.descriptor, words.offset, to, toOffset, bytes);
}

}  // namespace sfengine
