#include "platform/registry/internal/HiveStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Refuse(const fs::path& path, const std::string& what) {
  throw HiveError(path.string() + ": " + what + ": " + std::strerror(errno));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Holds the exclusive advisory lock on the hive's lock file for its lifetime.
class HiveLock {
 public:
  HiveLock() : file_(::open(HiveLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (file_.get() < 0) Refuse(HiveLockPath(), "cannot open the lock file");
    while (::flock(file_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) Refuse(HiveLockPath(), "cannot lock");
    }
  }

 private:
  FileDescriptor file_;
};

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool HiveStore::Same(const Stamp& a, const Stamp& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
         a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
}

HiveStore::Stamp HiveStore::StampOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

HiveStore::~HiveStore() {
  if (held_ >= 0) ::close(held_);
}

void HiveStore::Hold(int fd, const struct stat& info) {
  if (held_ >= 0) ::close(held_);
  held_ = fd;
  stamp_ = StampOf(info);
}

const HiveTree& HiveStore::Current() {
  Refresh(false);
  return tree_;
}

LONG HiveStore::Change(const std::function<LONG(HiveTree&, bool& changed)>& change) {
  HiveLock lock;
  Refresh(true);
  bool changed = false;
  const LONG result = change(tree_, changed);
  if (result != ERROR_SUCCESS || !changed) return result;
  return Save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

void HiveStore::Refresh(bool locked) {
  const fs::path path = HiveFilePath();
  if (path != path_) {
    path_ = path;
    stamp_.reset();
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) Refuse(path, "cannot read the registry");
    if (!locked) {
      HiveLock lock;
      Refresh(true);
      return;
    }
    // A new machine: the first program to get here writes the initial hive.
    tree_ = SeedHive();
    if (!Save()) Refuse(path, "cannot write the registry");
    return;
  }
  if (!stamp_ || !Same(*stamp_, StampOf(info))) Load(path);
}

void HiveStore::Load(const fs::path& path) {
  stamp_.reset();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) Refuse(path, "cannot read the registry");
  if (static_cast<size_t>(info.st_size) > kMaxHiveFileSize) {
    throw HiveError(path.string() + ": the registry file is larger than " +
                    std::to_string(kMaxHiveFileSize >> 20) + " MiB; it was left as it is");
  }
  std::string text(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = ::read(file.get(), text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) Refuse(path, "cannot read the registry");
    if (count == 0) break;
    done += static_cast<size_t>(count);
  }
  text.resize(done);
  tree_ = ParseHive(text, path.string());
  Hold(file.release(), info);
}

// The data is synced before the rename, so after a crash the hive is the old file or
// the new one, never a torn one. The folder is not synced: that would double the cost
// of every change only to make the last rename survive a power cut.
bool HiveStore::Save() {
  static std::atomic<unsigned> counter{0};
  const fs::path temporary =
      path_.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  struct stat info {};
  const bool saved = file.get() >= 0 && WriteAll(file.get(), FormatHive(tree_)) && ::fsync(file.get()) == 0 &&
                     ::rename(temporary.c_str(), path_.c_str()) == 0 && ::fstat(file.get(), &info) == 0;
  if (!saved) {
    ::unlink(temporary.c_str());
    stamp_.reset();  // the file still holds what it held; read it again
    return false;
  }
  Hold(file.release(), info);
  return true;
}

}  // namespace platform
