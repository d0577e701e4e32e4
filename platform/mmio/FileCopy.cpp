#include "platform/mmio/FileCopy.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace platform {
namespace {

// The errors of copy_file_range that mean "not between these two", not "failed".
bool KernelCannotCopy(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF;
}

bool WriteAll(int to, const char* bytes, size_t count, uint64_t offset) {
  while (count > 0) {
    const ssize_t written = pwrite(to, bytes, count, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
  return true;
}

bool CopyThroughBuffer(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t count) {
  const auto buffer = std::make_unique_for_overwrite<char[]>(std::min(count, kCopyBufferBytes));
  while (count > 0) {
    const ssize_t read = pread(from, buffer.get(), std::min(count, kCopyBufferBytes), static_cast<off_t>(fromOffset));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return false;
    if (!WriteAll(to, buffer.get(), static_cast<size_t>(read), toOffset)) return false;
    fromOffset += static_cast<uint64_t>(read);
    toOffset += static_cast<uint64_t>(read);
    count -= static_cast<uint64_t>(read);
  }
  return true;
}

}  // namespace

bool CopyFileBytes(int from, uint64_t fromOffset, int to, uint64_t toOffset, uint64_t count) {
  auto in = static_cast<off_t>(fromOffset);
  auto out = static_cast<off_t>(toOffset);
  while (count > 0) {
    const ssize_t copied = copy_file_range(from, &in, to, &out, count, 0);
    if (copied > 0) {
      count -= static_cast<uint64_t>(copied);
      continue;
    }
    if (copied < 0 && errno == EINTR) continue;
    if (copied < 0 && !KernelCannotCopy(errno)) return false;
    // 0 is the end of the source, or a file system whose files report no size: the
    // reads tell which.
    return CopyThroughBuffer(from, static_cast<uint64_t>(in), to, static_cast<uint64_t>(out), count);
  }
  return true;
}

}  // namespace platform
