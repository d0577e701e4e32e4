// fopen by Windows path. Text mode follows the Windows C run-time: "\n" goes to the file
// as CR LF and CR LF comes back as "\n", so that files written here read the same on
// both sides, and ftell/fseek work on offsets in the file as it is on disk.
#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
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
  if (mode == nullptr || *mode == '\0') return false;
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

// A text-mode file behind an unbuffered stream. The raw bytes read ahead are kept here,
// so the file offset of the next byte the program gets is known exactly: the stream
// asks for it (ftell) and gets the offset on disk, as on Windows, and seeks go to disk
// offsets. A stdio buffer would hold translated bytes, and the stream would count them
// as if they were the file's.
class TextFile {
 public:
  explicit TextFile(int fd) : fd_(fd) {}

  ssize_t Read(char* buffer, size_t size) {
    size_t out = 0;
    while (out < size) {
      // Two bytes in hand tell whether a CR starts a CR LF pair.
      if (Ahead() < 2 && !Refill()) return out > 0 ? static_cast<ssize_t>(out) : -1;
      if (Ahead() == 0) break;  // the end of the file
      const bool pair = ahead_[next_] == '\r' && Ahead() >= 2 && ahead_[next_ + 1] == '\n';
      buffer[out++] = pair ? '\n' : ahead_[next_];
      next_ += pair ? 2 : 1;
    }
    return static_cast<ssize_t>(out);
  }

  ssize_t Write(const char* buffer, size_t size) {
    if (!DropReadAhead()) return -1;
    std::string translated;
    translated.reserve(size + size / 16);
    for (size_t i = 0; i < size; ++i) {
      if (buffer[i] == '\n') translated += '\r';
      translated += buffer[i];
    }
    for (size_t done = 0; done < translated.size();) {
      const ssize_t written = ::write(fd_, translated.data() + done, translated.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return -1;
      done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(size);
  }

  int Seek(off64_t* offset, int whence) {
    if (whence == SEEK_CUR && *offset == 0) {
      // ftell: no need to give up what was read ahead.
      const off64_t position = ::lseek64(fd_, 0, SEEK_CUR);
      if (position < 0) return -1;
      *offset = position - static_cast<off64_t>(Ahead());
      return 0;
    }
    if (!DropReadAhead()) return -1;
    const off64_t position = ::lseek64(fd_, *offset, whence);
    if (position < 0) return -1;
    *offset = position;
    return 0;
  }

  int Close() { return ::close(fd_); }

 private:
  size_t Ahead() const { return ahead_.size() - next_; }

  // Reads the next raw chunk behind what is still ahead; false on a read error.
  bool Refill() {
    ahead_.erase(0, next_);
    next_ = 0;
    char chunk[4096];
    for (;;) {
      const ssize_t count = ::read(fd_, chunk, sizeof chunk);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) return false;
      ahead_.append(chunk, static_cast<size_t>(count));
      return true;
    }
  }

  // Puts the descriptor back at the stream's position before a write or a seek.
  bool DropReadAhead() {
    if (Ahead() > 0 && ::lseek64(fd_, -static_cast<off64_t>(Ahead()), SEEK_CUR) < 0) return false;
    ahead_.clear();
    next_ = 0;
    return true;
  }

  int fd_;
  std::string ahead_;
  size_t next_ = 0;
};

ssize_t ReadText(void* cookie, char* buffer, size_t size) { return static_cast<TextFile*>(cookie)->Read(buffer, size); }

ssize_t WriteText(void* cookie, const char* buffer, size_t size) {
  return static_cast<TextFile*>(cookie)->Write(buffer, size);
}

int SeekText(void* cookie, off64_t* offset, int whence) { return static_cast<TextFile*>(cookie)->Seek(offset, whence); }

int CloseText(void* cookie) {
  const std::unique_ptr<TextFile> file(static_cast<TextFile*>(cookie));
  return file->Close();
}

std::FILE* OpenText(int fd, const char* stdioMode) {
  auto cookie = std::make_unique<TextFile>(fd);
  std::FILE* file = ::fopencookie(cookie.get(), stdioMode, {ReadText, WriteText, SeekText, CloseText});
  if (file == nullptr) return nullptr;
  cookie.release();  // owned by the stream now; CloseText frees it
  std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

// Programs written into the machine (an installer writes "*.exe" files) must start as
// they would on Windows, so they are created executable; other files are not.
mode_t CreationMode(const std::string& host) {
  const bool program = host.size() > 4 && ::strcasecmp(host.c_str() + host.size() - 4, ".exe") == 0;
  return program ? 0777 : 0666;
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
  const int fd = ::open(host.c_str(), parsed.flags | O_CLOEXEC, CreationMode(host));
  if (fd < 0) return nullptr;
  std::FILE* file = parsed.text ? OpenText(fd, parsed.stdioMode)
                                : ::fdopen(fd, (std::string(parsed.stdioMode) + "b").c_str());
  if (file == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

}  // namespace platform
