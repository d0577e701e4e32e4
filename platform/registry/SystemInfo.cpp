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

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *info = OSVERSIONINFOA{sizeof(OSVERSIONINFOA), 5, 1, 2600, VER_PLATFORM_WIN32_NT, {}};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return TRUE;
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
  return TRUE;
}

DWORD GetLogicalDrives() {
  DWORD mask = (DWORD{1} << ('C' - 'A')) | (DWORD{1} << ('Z' - 'A'));
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices", 0, KEY_READ, &key) != ERROR_SUCCESS) return mask;
  char name[1024];
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = sizeof name;
    const LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_SUCCESS) mask |= DriveBit(std::string_view(name, nameSize));
  }
  RegCloseKey(key);
  return mask;
}

}  // namespace platform
