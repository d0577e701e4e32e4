#include "platform/registry/SystemInfo.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

namespace platform {
namespace {

// The value if it is a REG_DWORD, else `fallback`.
DWORD DwordOr(HKEY key, const char* name, DWORD fallback) {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : fallback;
}

constexpr std::string_view kDosDevices = "\\DosDevices\\";

// The bit of a value named "\DosDevices\X:", or 0.
DWORD DriveBit(std::string_view name) {
  if (name.size() != kDosDevices.size() + 2 || !NamesEqual(name.substr(0, kDosDevices.size()), kDosDevices) ||
      name.back() != ':' || !std::isalpha(static_cast<unsigned char>(name[kDosDevices.size()]))) {
    return 0;
  }
  return DWORD{1} << (std::toupper(static_cast<unsigned char>(name[kDosDevices.size()])) - 'A');
}

// Reads the version the machine plays into `info` over the defaults already there.
void ReadMachineVersion(OSVERSIONINFOA* info) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  info->dwPlatformId = DwordOr(key, "PlatformId", info->dwPlatformId);
  info->dwMajorVersion = DwordOr(key, "MajorVersion", info->dwMajorVersion);
  info->dwMinorVersion = DwordOr(key, "MinorVersion", info->dwMinorVersion);
  info->dwBuildNumber = DwordOr(key, "BuildNumber", info->dwBuildNumber);
  DWORD type = 0;
  DWORD size = sizeof info->szCSDVersion - 1;
  if (RegQueryValueExA(key, "CSDVersion", nullptr, &type, reinterpret_cast<BYTE*>(info->szCSDVersion), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  }
  RegCloseKey(key);
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  const DWORD size = info ? info->dwOSVersionInfoSize : 0;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *info = OSVERSIONINFOA{size, 5, 1, 2600, VER_PLATFORM_WIN32_NT, {}};
  ReadMachineVersion(info);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* extended = static_cast<OSVERSIONINFOEXA*>(info);
    extended->wServicePackMajor = extended->wServicePackMinor = extended->wSuiteMask = 0;
    extended->wProductType = info->dwPlatformId == VER_PLATFORM_WIN32_NT ? VER_NT_WORKSTATION : 0;
    extended->wReserved = 0;
  }
  return TRUE;
}

DWORD GetLogicalDrives() {
  DWORD mask = (DWORD{1} << ('C' - 'A')) | (DWORD{1} << ('Z' - 'A'));
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices", 0, KEY_READ, &key) != ERROR_SUCCESS) return mask;
  mask |= DriveBitsOfValues(key);
  RegCloseKey(key);
  return mask;
}

DWORD DriveBitsOfValues(HKEY key) {
  DWORD mask = 0;
  char name[1024];
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = sizeof name;
    const LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    // A longer name (ERROR_MORE_DATA) names no drive; anything else ends the list.
    if (result == ERROR_SUCCESS) mask |= DriveBit(std::string_view(name, nameSize));
    else if (result != ERROR_MORE_DATA) return mask;
  }
}

}  // namespace platform
