#pragma once
// The Windows-like machine the programs run on: a root folder on the host that holds
// drive C:, the Windows folders and the registry hive, plus the mapping between Windows
// paths and host paths.
//
// Drive C: is the root's drive_c folder, drive Z: is the host's "/". Path components
// are matched without regard to case, as Windows does; names that do not exist yet keep
// the case given. No path may leave its drive: ".." above a drive's root is refused.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/machine/WinTypes.h"

namespace platform {

// A Windows path that cannot be mapped: not absolute, an unknown drive letter, a
// component Windows does not allow, or ".." above the drive's root.
class PathError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The machine's root folder: $CARVOX_MACHINE (a relative one is taken from the current
// directory at its first use), else $XDG_DATA_HOME/carvox/machine, else
// ~/.local/share/carvox/machine. Every call makes the machine's folders that are missing.
std::filesystem::path MachineRoot();

// The machine's hive file and the lock file that serialises writers.
std::filesystem::path HiveFilePath();
std::filesystem::path HiveLockPath();

// Windows forms of the machine's fixed folders.
inline constexpr const char* kWindowsFolder = "C:\\WINDOWS";
inline constexpr const char* kSystemFolder = "C:\\WINDOWS\\system32";
inline constexpr const char* kWindowsTempFolder = "C:\\WINDOWS\\temp";
inline constexpr const char* kProgramFilesFolder = "C:\\Program Files";
inline constexpr const char* kCommonFilesFolder = "C:\\Program Files\\Common Files";
inline constexpr const char* kCommonProgramsFolder =
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";

// Maps a Windows path ("C:\\WINDOWS\\system32", "z:/tmp/x") to the host path it names.
// Throws PathError when the path is refused.
std::filesystem::path ToHostPath(std::string_view windowsPath);

// The Windows form of a host path: below the machine's drive_c as "C:\\...", anything
// else as "Z:\\...". Relative paths are taken from the current directory.
std::string ToWindowsPath(const std::filesystem::path& hostPath);

// Windows semantics: the length without the NUL on success; when `size` is too small,
// the size needed including the NUL, and nothing is written.
UINT GetWindowsDirectoryA(char* buffer, UINT size);
UINT GetSystemDirectoryA(char* buffer, UINT size);
// The TMP folder as a Windows path ending in "\\": the first of $TMP, $TEMP and $TMPDIR
// that holds an absolute host path, else /tmp (so normally "Z:\\tmp\\").
DWORD GetTempPathA(DWORD size, char* buffer);
// Long names are their own short form: copies the path if it exists, 0 (with
// ERROR_FILE_NOT_FOUND) if it does not; same size rules as above.
DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size);

std::filesystem::path WindowsFolderHostPath();
std::filesystem::path SystemFolderHostPath();

}  // namespace platform
