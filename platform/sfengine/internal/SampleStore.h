#pragma once
// Where a bank keeps the words of its imported samples until it is saved: one spill
// file, unlinked from the start (it vanishes with its descriptor), in the temporary
// folder. Words are copied into it file to file at import and out of it into the bank
// at save, so a bank's memory does not grow with its audio.

#include <cstdint>
#include <optional>

namespace sfengine {

class SampleStore {
 public:
  SampleStore() = default;
  ~SampleStore();
  SampleStore(SampleStore&& other) noexcept;
  SampleStore& operator=(SampleStore&& other) noexcept;
  SampleStore(const SampleStore&) = delete;
  SampleStore& operator=(const SampleStore&) = delete;

  // Appends `bytes` bytes of `from` at `offset`; the offset in the store where they
  // now lie, or nothing when the store cannot be made or the copy fails (the words
  // appended before stay as they were).
  std::optional<uint64_t> Append(int from, uint64_t offset, uint64_t bytes);

  // The spill file's descriptor; -1 before the first append.
  int descriptor() const { return fd_; }

 private:
  bool Open();

  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace sfengine
