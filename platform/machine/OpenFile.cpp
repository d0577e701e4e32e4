// fopen by Windows path. Text mode follows the Windows C run-time: "\n" goes to the file
// as CR LF and CR LF comes back as "\n", so that files written here read the same on
// both sides.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/machine/FileServices.h"
#include "platform/machine/Machine.h"

namespace platform {
namespace {

struct OpenMode {
  int flags = 0;
  bool text = true;
  const char* stdioMode = nullptr;
};

bool ParseMode(const char* mode, OpenMode& parsed) {
  if (mode == nullptr) return false;
  bool plus = false;
  for (const char* c = mode + 1; *c; ++c) {
    if (*c == '+') plus = true;
    else if (*c == 'b') parsed.text = false;
    else if (*c != 't') return false;
  }
  switch (mode[0]) {
    case 'r':
      parsed.flags = plus ? O_RDWR : O_RDONLY;
      parsed.stdioMode = plus ? "r+" : "r";
      return true;
    case 'w':
      parsed.flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      parsed.stdioMode = plus ? "w+" : "w";
      return true;
    case 'a':
      parsed.flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      parsed.stdioMode = plus ? "a+" : "a";
      return true;
    default: return false;
  }
}

ssize_t ReadText(void* cookie, char* buffer, size_t size) {
  const int fd = *static_cast<int*>(cookie);
  ssize_t count = ::read(fd, buffer, size);
  if (count <= 0) return count;
  if (buffer[count - 1] == '\r') {
    // A CR at the end of the chunk may start a CR LF: decide with the next byte.
    char next = 0;
    if (count > 1) {
      --count;
      ::lseek(fd, -1, SEEK_CUR);
    } else if (::read(fd, &next, 1) == 1) {
      if (next == '\n') buffer[0] = '\n';
      else ::lseek(fd, -1, SEEK_CUR);
    }
  }
  ssize_t out = 0;
  for (ssize_t i = 0; i < count; ++i) {
    if (buffer[i] == '\r' && i + 1 < count && buffer[i + 1] == '\n') continue;
    buffer[out++] = buffer[i];
  }
  return out;
}

ssize_t WriteText(void* cookie, const char* buffer, size_t size) {
  const int fd = *static_cast<int*>(cookie);
  std::string translated;
  translated.reserve(size + size / 16);
  for (size_t i = 0; i < size; ++i) {
    if (buffer[i] == '\n') translated += '\r';
    translated += buffer[i];
  }
  for (size_t done = 0; done < translated.size();) {
    const ssize_t written = ::write(fd, translated.data() + done, translated.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    done += static_cast<size_t>(written);
  }
  return static_cast<ssize_t>(size);
}

int SeekText(void* cookie, off64_t* offset, int whence) {
  const off64_t position = ::lseek64(*static_cast<int*>(cookie), *offset, whence);
  if (position < 0) return -1;
  *offset = position;
  return 0;
}

int CloseText(void* cookie) {
  int* fd = static_cast<int*>(cookie);
  const int result = ::close(*fd);
  delete fd;
  return result;
}

}  // namespace

std::FILE* OpenFile(std::string_view windowsPath, const char* mode) {
  OpenMode parsed;
  if (!ParseMode(mode, parsed)) {
    errno = EINVAL;
    return nullptr;
  }
  std::string host;
  try {
    host = ToHostPath(windowsPath).string();
  } catch (const PathError&) {
    errno = ENOENT;
    return nullptr;
  }
  if (!parsed.text) return std::fopen(host.c_str(), (std::string(parsed.stdioMode) + "b").c_str());
  const int fd = ::open(host.c_str(), parsed.flags | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  auto cookie = std::make_unique<int>(fd);
  std::FILE* file = ::fopencookie(cookie.get(), parsed.stdioMode, {ReadText, WriteText, SeekText, CloseText});
  if (file == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
  }
  cookie.release();  // owned by the stream now; CloseText frees it
  return file;
}

}  // namespace platform
