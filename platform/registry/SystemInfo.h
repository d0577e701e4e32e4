#pragma once
// System information that the machine keeps in its registry: the Windows version the
// programs see and the logical-drive mask.

#include "platform/machine/WinTypes.h"

namespace platform {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;  // Windows 95/98/Me
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;  // the caller sets sizeof(OSVERSIONINFOA), 148
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};

// Where a machine sets the version it reports: REG_DWORD values "PlatformId",
// "MajorVersion", "MinorVersion", "BuildNumber" and the REG_SZ "CSDVersion" under
// HKEY_LOCAL_MACHINE. Each value that is missing (or of another type) keeps its default,
// Windows NT 5.1 build 2600 with no service pack text.
inline constexpr const char* kVersionKey = "Software\\Carvox\\Machine\\Version";

// Fills the record; fails with ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is
// the record's size.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Bit 0 is A:. C: and Z: are always there; any other letter is there when
// HKEY_LOCAL_MACHINE "SYSTEM\\MountedDevices" has a value named "\\DosDevices\\X:".
DWORD GetLogicalDrives();

}  // namespace platform
