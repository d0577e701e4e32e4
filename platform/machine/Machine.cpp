#include "platform/machine/Machine.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = getpwuid(getuid())) home = entry->pw_dir;
  }
  if (home.empty()) throw std::runtime_error("cannot find the home folder for the machine");
  return home;
}

// A relative CARVOX_MACHINE is taken from the current directory at its first use, so
// that a program that changes its directory later keeps the same machine.
fs::path AbsoluteOnce(const std::string& machine) {
  static std::map<std::string, fs::path> resolved;
  const auto [at, added] = resolved.try_emplace(machine);
  if (added) at->second = fs::absolute(machine);
  return at->second;
}

// Called with the machine mutex held.
fs::path ConfiguredRoot() {
  const std::string machine = Environment("CARVOX_MACHINE");
  if (!machine.empty()) return AbsoluteOnce(machine);
  // The XDG rules ignore a relative data folder.
  const std::string data = Environment("XDG_DATA_HOME");
  const fs::path dataHome = (!data.empty() && data.front() == '/') ? fs::path(data)
                                                                   : HomeFolder() / ".local/share";
  return dataHome / "carvox" / "machine";
}

// mkdir that treats "someone else made it first" as success, so that two programs
// setting up the same machine at once both succeed.
void MakeFolders(const fs::path& folder) {
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0777) == 0 || errno == EEXIST) {
      struct stat info {};
      if (::stat(partial.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    }
    throw std::system_error(errno ? errno : ENOTDIR, std::generic_category(),
                            "cannot create the machine folder " + partial.string());
  }
}

bool IsFolder(const fs::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Each call checks every folder and makes the missing ones, so a machine whose setup
// was interrupted, raced by a second program, or damaged later is completed by the next
// call. The registry seeds the hive under its own lock.
void CompleteLayout(const fs::path& root) {
  for (const char* folder : {kSystemFolder, kWindowsTempFolder, kCommonFilesFolder,
                             kCommonProgramsFolder}) {
    std::string relative = std::string("drive_c/") + (folder + 3);
    for (char& c : relative) c = c == '\\' ? '/' : c;
    if (!IsFolder(root / relative)) MakeFolders(root / relative);
  }
}

UINT CopyOut(const std::string& text, char* buffer, UINT size) {
  if (buffer == nullptr || text.size() + 1 > size) return static_cast<UINT>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

thread_local DWORD lastError = 0;

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

fs::path MachineRoot() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const fs::path root = ConfiguredRoot();
  CompleteLayout(root);
  return root;
}

fs::path HiveFilePath() { return MachineRoot() / "registry.reg"; }
fs::path HiveLockPath() { return MachineRoot() / "registry.lock"; }

fs::path WindowsFolderHostPath() { return ToHostPath(kWindowsFolder); }
fs::path SystemFolderHostPath() { return ToHostPath(kSystemFolder); }

UINT GetWindowsDirectoryA(char* buffer, UINT size) { return CopyOut(kWindowsFolder, buffer, size); }
UINT GetSystemDirectoryA(char* buffer, UINT size) { return CopyOut(kSystemFolder, buffer, size); }

DWORD GetTempPathA(DWORD size, char* buffer) {
  std::string tmp = "/tmp";
  // The first of TMP, TEMP and TMPDIR that holds an absolute host path.
  for (const char* variable : {"TMP", "TEMP", "TMPDIR"}) {
    const std::string value = Environment(variable);
    if (!value.empty() && value.front() == '/') {
      tmp = value;
      break;
    }
  }
  std::string windows = ToWindowsPath(tmp);
  if (windows.back() != '\\') windows += '\\';
  return CopyOut(windows, buffer, size);
}

DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size) {
  std::error_code error;
  try {
    if (longPath != nullptr && fs::exists(ToHostPath(longPath), error)) {
      return CopyOut(longPath, shortPath, size);
    }
  } catch (const PathError&) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

}  // namespace platform
