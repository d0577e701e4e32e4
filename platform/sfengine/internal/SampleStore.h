#pragma once
// Where a bank's imported words lie until it is saved. The store keeps each imported
// file open (a duplicate of the reader's descriptor) and remembers where its words lie,
// so an import copies nothing: the caller may delete its temporary file, which then
// lives on unnamed until the bank is released. Past kMaxKeptFiles files (descriptors are
// a limited resource) the words are copied instead into one spill file in the temporary
// folder, unlinked from the start. The save copies every sample file to file into the
// bank, so a bank's memory does not grow with its audio.
//
// A kept file that was changed after its import (another size or modification time)
// fails the copy: the bank would otherwise take other audio than was imported.

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sfengine {

// Where one sample's words lie: a file of the store and the byte offset in it.
struct StoredWords {
  std::size_t file = 0;
  uint64_t offset = 0;
};

class SampleStore {
 public:
  static constexpr std::size_t kMaxKeptFiles = 256;

  SampleStore() = default;
  ~SampleStore();
  SampleStore(SampleStore&& other) noexcept;
  SampleStore& operator=(SampleStore&& other) noexcept;
  SampleStore(const SampleStore&) = delete;
  SampleStore& operator=(const SampleStore&) = delete;

  // Takes `bytes` bytes of the open file `from` at `offset`: keeps the file, or copies
  // the bytes into the spill file. Nothing when the file is shorter than that, or the
  // spill file cannot be made or written (the words taken before stay as they were).
  std::optional<StoredWords> Take(int from, uint64_t offset, uint64_t bytes);

  // Copies `bytes` bytes from `words` to `to` at `toOffset`. False when the kept file
  // changed since it was taken, or the copy fails.
  bool CopyOut(const StoredWords& words, uint64_t bytes, int to, uint64_t toOffset) const;

 private:
  struct File {
    int descriptor;
    off_t size;  // as taken; the spill file's grows and is not checked
    timespec modified;
  };

  std::optional<StoredWords> Keep(int from, uint64_t offset, const struct stat& status);
  std::optional<StoredWords> Spill(int from, uint64_t offset, uint64_t bytes);
  bool OpenSpillFile();
  void CloseAll();

  std::vector<File> files_;
  std::optional<std::size_t> spill_;  // the spill file's place in files_
  uint64_t spillSize_ = 0;
};

}  // namespace sfengine
