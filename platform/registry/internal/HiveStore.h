#pragma once
// The machine's hive file behind the registry calls: re-read when another program has
// replaced it, changed under an exclusive lock on the lock file (re-read, apply the one
// change, write), written to a temporary file that is synced and renamed over the hive.

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "platform/registry/Hive.h"

namespace platform {

// Larger hive files are refused rather than read into memory.
inline constexpr size_t kMaxHiveFileSize = 64u << 20;

class HiveStore {
 public:
  HiveStore() = default;
  ~HiveStore();
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  // The tree as the machine's hive file holds it now (seeded on first use).
  const HiveTree& Current();
  // Applies `change` to the current tree under the lock. When it returns ERROR_SUCCESS
  // and sets `changed`, the tree is saved (ERROR_CANTWRITE if that fails, and the tree
  // is read again from the file next time).
  LONG Change(const std::function<LONG(HiveTree&, bool& changed)>& change);

 private:
  struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    timespec changed;
  };
  static bool Same(const Stamp& a, const Stamp& b);
  static Stamp StampOf(const struct stat& info);

  void Refresh(bool locked);
  void Load(const std::filesystem::path& path);
  bool Save();
  void Hold(int fd, const struct stat& info);

  std::filesystem::path path_;
  std::optional<Stamp> stamp_;  // empty when `tree_` does not hold the file's contents
  // The file `tree_` was read from or written to, kept open so that its inode number
  // cannot go to a later hive file: a file replaced by another program always differs
  // from the stamp, however quickly it was replaced.
  int held_ = -1;
  HiveTree tree_;
};

}  // namespace platform
