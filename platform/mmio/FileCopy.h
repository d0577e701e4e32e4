#pragma once
// Copying a range of bytes from one open file to another: by the kernel where it can
// (copy_file_range, no pass through user space), otherwise by large reads and writes.
// The RIFF writers use it for chunk bodies whose bytes already lie in another file.

#include <cstdint>

namespace platform {

// Copies `count` bytes of `from`, starting at `fromOffset`, to `to` at `toOffset`.
// Neither descriptor's file position moves. Where the kernel cannot copy between the
// two (other file systems, descriptors it does not take, a file system that reports no
// size), the rest goes through a buffer of kCopyBufferBytes. False when `from` ends
// before `count` bytes or a read or write fails; what was copied then stays.
bool CopyFileBytes(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t count);

inline constexpr uint64_t kCopyBufferBytes = 1 << 20;

}  // namespace platform
