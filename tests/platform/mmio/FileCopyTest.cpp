#include "platform/mmio/FileCopy.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestPaths.h"

namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

std::string ReadAt(int fd, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  const ssize_t read = pread(fd, bytes.data(), size, static_cast<off_t>(offset));
  bytes.resize(read < 0 ? 0 : static_cast<size_t>(read));
  return bytes;
}

int FileHolding(const std::string& name, const std::string& bytes) {
  const std::string path = (testsupport::FreshFolder("file-copy") / name).string();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  return fd;
}

int MemoryFileHolding(const std::string& bytes) {
  const int fd = memfd_create("copy-source", MFD_CLOEXEC);
  EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  return fd;
}

// The kernel copies between files of one file system; a file in memory and one on disc
// (EXDEV) and a /proc file, whose size reads as 0, go through the buffer. Every way
// must give the same bytes at the asked offsets, past the buffer's size too.
TEST(FileCopy, CopiesTheRangeWhateverTheFilesAre) {
  const std::string bytes = Pattern(3 * platform::kCopyBufferBytes + 12345);
  const int version = open("/proc/version", O_RDONLY | O_CLOEXEC);
  const std::string versionText = ReadAt(version, 0, 4096);
  struct Case {
    const char* what;
    int from;
    std::string source;
  } cases[] = {
      {"a file beside it", FileHolding("source", bytes), bytes},
      {"a file in memory", MemoryFileHolding(bytes), bytes},
      {"a /proc file", version, versionText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int to = FileHolding("target", "head");
    const uint64_t count = c.source.size() - 3;
    ASSERT_TRUE(platform::CopyFileBytes(c.from, 3, to, 4, count));
    EXPECT_EQ(ReadAt(to, 0, 4 + count), "head" + c.source.substr(3));
    EXPECT_EQ(lseek(to, 0, SEEK_CUR), 0);
    close(to);
  }
  for (const Case& c : cases) close(c.from);
}

// A source that ends before the count is a failure, not a loop or a short file taken
// for a whole one.
TEST(FileCopy, SourceEndingEarlyFails) {
  const std::string bytes = Pattern(5000);
  for (int from : {FileHolding("short", bytes), MemoryFileHolding(bytes)}) {
    const int to = FileHolding("target", "");
    EXPECT_FALSE(platform::CopyFileBytes(from, 1000, to, 0, 4001));
    close(to);
    close(from);
  }
}

}  // namespace
