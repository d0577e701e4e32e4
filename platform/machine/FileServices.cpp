#include "platform/machine/FileServices.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/machine/Machine.h"

namespace platform {
namespace fs = std::filesystem;

struct FindSearch {
  std::vector<WIN32_FIND_DATAA> matches;
  size_t next = 0;
};

namespace {

BOOL Fail(LONG error) {
  SetLastError(static_cast<DWORD>(error));
  return FALSE;
}

// The host path, or nullopt with ERROR_INVALID_NAME set when the path is refused.
std::optional<fs::path> Host(const char* windowsPath) {
  if (windowsPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  try {
    return ToHostPath(windowsPath);
  } catch (const PathError&) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
}

LONG ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_ACCESS_DENIED;
  }
}

// A missing folder is "path not found", a missing last component "file not found".
LONG MissingError(const fs::path& host) {
  struct stat info {};
  return ::stat(host.parent_path().c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                 : ERROR_PATH_NOT_FOUND;
}

FILETIME ToFileTime(const timespec& time) {
  // FILETIME counts 100 ns steps since 1601-01-01.
  constexpr uint64_t kEpochDifference = 11644473600ULL;
  const uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + kEpochDifference) * 10000000ULL +
                         static_cast<uint64_t>(time.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

WIN32_FIND_DATAA Describe(const std::string& name, const struct stat& info) {
  WIN32_FIND_DATAA data{};
  data.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = ToFileTime(info.st_mtim);
  const uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size);
  std::strncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
  return data;
}

bool WildcardMatch(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (WildcardMatch(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  const bool same = *pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                                           std::tolower(static_cast<unsigned char>(*name));
  return same && WildcardMatch(pattern + 1, name + 1);
}

std::vector<WIN32_FIND_DATAA> MatchFolder(const fs::path& folder, std::string pattern) {
  if (pattern == "*.*") pattern = "*";  // Windows' "every name", dotted or not
  std::vector<WIN32_FIND_DATAA> matches;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return matches;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    struct stat info {};
    if (name == "." || name == ".." || !WildcardMatch(pattern.c_str(), name.c_str()) ||
        ::stat((folder / name).c_str(), &info) != 0) {
      continue;
    }
    matches.push_back(Describe(name, info));
  }
  std::sort(matches.begin(), matches.end(), [](const auto& a, const auto& b) {
    return ::strcasecmp(a.cFileName, b.cFileName) < 0;
  });
  return matches;
}

fs::path InUseListPath() { return MachineRoot() / "in-use.txt"; }

std::set<std::string> ReadInUse() {
  std::set<std::string> marks;
  std::ifstream in(InUseListPath());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) marks.insert(line);
  }
  return marks;
}

void WriteInUse(const std::set<std::string>& marks) {
  const fs::path list = InUseListPath();
  const fs::path temporary = list.string() + "." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const std::string& mark : marks) out << mark << '\n';
  }
  fs::rename(temporary, list);
}

bool MarkedInUse(const fs::path& host) { return ReadInUse().count(host.string()) != 0; }

// The name `windowsPath` ends in when it differs from `existing` only in case; else
// `existing` itself, so that moving a file onto itself still fails.
std::string CaseChange(const std::string& existing, std::string_view windowsPath) {
  while (!windowsPath.empty() && (windowsPath.back() == '\\' || windowsPath.back() == '/')) {
    windowsPath.remove_suffix(1);
  }
  const std::string given(windowsPath.substr(windowsPath.find_last_of("\\/") + 1));
  return ::strcasecmp(given.c_str(), existing.c_str()) == 0 ? given : existing;
}

// 0, or the errno of the read or write that failed.
int CopyAll(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t count = ::read(from, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count == 0 ? 0 : errno;
    for (ssize_t done = 0; done < count;) {
      const ssize_t written = ::write(to, buffer + done, static_cast<size_t>(count - done));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return written < 0 ? errno : EIO;
      done += written;
    }
  }
}

// Copies `from` into a new file `to` (never over an existing one); a copy that fails
// takes away the partial file it made.
LONG CopyToNewFile(const fs::path& from, const fs::path& to) {
  const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return ErrorFromErrno(errno);
  struct stat info {};
  const int copy = ::fstat(source, &info) == 0
                       ? ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777)
                       : -1;
  int error = copy < 0 ? errno : CopyAll(source, copy);
  if (copy >= 0 && ::close(copy) != 0 && error == 0) error = errno;
  ::close(source);
  if (error == 0) return ERROR_SUCCESS;
  if (copy >= 0) ::unlink(to.c_str());
  return ErrorFromErrno(error);
}

}  // namespace

HFINDFILE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  const std::string_view text = pattern ? pattern : "";
  const size_t split = text.find_last_of("\\/");
  const std::string last(split == std::string_view::npos ? text : text.substr(split + 1));
  if (split == std::string_view::npos || last.empty() || data == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const std::string folderText(text.substr(0, split + 1));
  const std::optional<fs::path> folder = Host(folderText.c_str());
  if (!folder) return nullptr;
  std::vector<WIN32_FIND_DATAA> matches;
  if (last.find_first_of("*?") != std::string::npos) {
    matches = MatchFolder(*folder, last);
  } else if (last != "." && last != "..") {
    const std::optional<fs::path> host = Host(pattern);
    struct stat info {};
    if (!host) return nullptr;
    if (::stat(host->c_str(), &info) == 0) matches.push_back(Describe(host->filename().string(), info));
  }
  if (matches.empty()) {
    SetLastError(static_cast<DWORD>(MissingError(*folder / last)));
    return nullptr;
  }
  auto search = std::make_unique<FindSearch>();
  search->matches = std::move(matches);
  *data = search->matches[search->next++];
  return search.release();
}

BOOL FindNextFileA(HFINDFILE search, WIN32_FIND_DATAA* data) {
  if (search == nullptr || data == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (search->next >= search->matches.size()) return Fail(ERROR_NO_MORE_ITEMS);
  *data = search->matches[search->next++];
  return TRUE;
}

BOOL FindClose(HFINDFILE search) {
  if (search == nullptr) return Fail(ERROR_INVALID_HANDLE);
  delete search;
  return TRUE;
}

BOOL CreateDirectoryA(const char* path, const void* /*securityAttributes*/) {
  const std::optional<fs::path> host = Host(path);
  if (!host) return FALSE;
  if (::mkdir(host->c_str(), 0777) != 0) {
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL RemoveDirectoryA(const char* path) {
  const std::optional<fs::path> host = Host(path);
  if (!host) return FALSE;
  if (::rmdir(host->c_str()) != 0) {
    return Fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
  }
  return TRUE;
}

BOOL DeleteFileA(const char* path) {
  const std::optional<fs::path> host = Host(path);
  if (!host) return FALSE;
  struct stat info {};
  if (::lstat(host->c_str(), &info) != 0) return Fail(MissingError(*host));
  if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (MarkedInUse(*host)) return Fail(ERROR_SHARING_VIOLATION);
  if (::unlink(host->c_str()) != 0) return Fail(ErrorFromErrno(errno));
  return TRUE;
}

BOOL MoveFileA(const char* existing, const char* target) {
  const std::optional<fs::path> from = Host(existing);
  if (!from) return FALSE;
  std::optional<fs::path> to = Host(target);
  if (!to) return FALSE;
  struct stat info {};
  if (::lstat(from->c_str(), &info) != 0) return Fail(MissingError(*from));
  if (MarkedInUse(*from) || MarkedInUse(*to)) return Fail(ERROR_SHARING_VIOLATION);
  // The target's lookup finds the source itself when only the case of the name changes.
  if (*to == *from) to = to->parent_path() / CaseChange(from->filename().string(), target);
  // RENAME_NOREPLACE closes the gap between "the target is free" and the rename.
  if (::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0) return TRUE;
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (errno == ENOENT) return Fail(ERROR_PATH_NOT_FOUND);
  if (errno != EXDEV || S_ISDIR(info.st_mode)) return Fail(ErrorFromErrno(errno));
  // Files move between drives by copy and delete, as MoveFile does.
  if (const LONG error = CopyToNewFile(*from, *to); error != ERROR_SUCCESS) return Fail(error);
  ::unlink(from->c_str());
  return TRUE;
}

bool PathExists(std::string_view windowsPath) {
  WIN32_FIND_DATAA found;
  HFINDFILE search = FindFirstFileA(std::string(windowsPath).c_str(), &found);
  if (search == nullptr) return false;
  FindClose(search);
  return true;
}

bool ReadTextLines(std::string_view windowsPath, std::vector<std::string>& lines) {
  std::FILE* file = OpenFile(windowsPath, "r");
  if (file == nullptr) return false;
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  const bool read = !std::ferror(file);
  std::fclose(file);
  return read;
}

void MarkInUse(std::string_view windowsPath) {
  std::set<std::string> marks = ReadInUse();
  marks.insert(ToHostPath(windowsPath).string());
  WriteInUse(marks);
}

void ClearInUse(std::string_view windowsPath) {
  std::set<std::string> marks = ReadInUse();
  marks.erase(ToHostPath(windowsPath).string());
  WriteInUse(marks);
}

bool IsMarkedInUse(std::string_view windowsPath) { return MarkedInUse(ToHostPath(windowsPath)); }

void ClearAllInUse() { WriteInUse({}); }

}  // namespace platform
