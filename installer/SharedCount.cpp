#include "installer/SharedCount.h"

#include <cstring>

namespace installer {

using namespace platform;

std::optional<DWORD> ReadSharedCount(HKEY key, const std::string& path) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, path.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_DWORD || size < sizeof(DWORD)) return 1000;
  std::string data(size, '\0');
  if (RegQueryValueExA(key, path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD count = 0;
  std::memcpy(&count, data.data(), sizeof count);
  return count;
}

bool WriteSharedCount(HKEY key, const std::string& path, DWORD count) {
  return RegSetValueExA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count) ==
         ERROR_SUCCESS;
}

}  // namespace installer
