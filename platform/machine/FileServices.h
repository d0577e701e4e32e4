#pragma once
// File services by Windows path, with the results Windows gives: BOOL results with the
// reason in GetLastError(), a search handle for existence tests, and the C run-time's
// open modes (text mode writes and reads CR LF line ends).

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/WinTypes.h"

namespace platform {

inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
};

// A running search; null when nothing matched (Windows' INVALID_HANDLE_VALUE).
struct FindSearch;
using HFINDFILE = FindSearch*;

// Finds the entries matching the last component of `pattern` ("*" and "?" allowed,
// case ignored). A pattern ending in a separator, or naming a drive's root, finds
// nothing, as on Windows.
HFINDFILE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HFINDFILE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HFINDFILE search);

// Fails with ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when the
// parent does not.
BOOL CreateDirectoryA(const char* path, const void* securityAttributes = nullptr);
// Fails with ERROR_DIR_NOT_EMPTY unless the directory is empty.
BOOL RemoveDirectoryA(const char* path);
// Fails for a directory (ERROR_ACCESS_DENIED) and for a path marked in use
// (ERROR_SHARING_VIOLATION).
BOOL DeleteFileA(const char* path);
// Fails when the target exists (ERROR_ALREADY_EXISTS) or either path is marked in use.
BOOL MoveFileA(const char* existing, const char* target);

// fopen by Windows path with the C run-time's modes: "r", "w", "a", each with "+", and
// "b" (binary) or "t"/nothing (text: "\n" is written as CR LF, CR LF is read as "\n").
// Returns null with errno set when the file cannot be opened or the path is refused.
std::FILE* OpenFile(std::string_view windowsPath, const char* mode);

// Whether anything matches the path (FindFirstFileA finds it).
bool PathExists(std::string_view windowsPath);

// Reads a text file's lines whole, whatever their length, each without its line end
// (LF, or CR LF); a last line without one is kept as it is. False when the file cannot be
// opened or read.
bool ReadTextLines(std::string_view windowsPath, std::vector<std::string>& lines);

// The in-use mark, for tests only: Linux lets a program delete or rename a file that
// another one has open, Windows does not. A marked path behaves as if another program
// had it open. The marks live in the machine, so they hold for every process.
void MarkInUse(std::string_view windowsPath);
void ClearInUse(std::string_view windowsPath);
bool IsMarkedInUse(std::string_view windowsPath);
// Every mark goes when the machine restarts: no program has a file open any more.
void ClearAllInUse();

}  // namespace platform
