#pragma once
// System information that the machine keeps in its registry: the Windows version the
// programs see and the logical-drive mask.

#include "platform/machine/WinTypes.h"
#include "platform/registry/Registry.h"

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

// The longer record that callers pass with dwOSVersionInfoSize 156.
struct OSVERSIONINFOEXA : OSVERSIONINFOA {
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXA) == 156);
inline constexpr BYTE VER_NT_WORKSTATION = 1;

// Fills the record; fails with ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is
// the size of OSVERSIONINFOA or of OSVERSIONINFOEXA (whose extra fields say: no service
// pack, a workstation on NT, 0 on Windows 95/98).
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Bit 0 is A:. C: and Z: are always there; any other letter is there when
// HKEY_LOCAL_MACHINE "SYSTEM\\MountedDevices" has a value named "\\DosDevices\\X:".
DWORD GetLogicalDrives();
// The drive bits named by the values of an open key, as GetLogicalDrives reads them.
// Stops at the first call that fails, such as on a key that another program deleted.
DWORD DriveBitsOfValues(HKEY key);

}  // namespace platform
