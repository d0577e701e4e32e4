#pragma once
// Usage counts of shared files under HKEY_LOCAL_MACHINE\...\SharedDLLs, kept with every
// other installer on the machine.

#include <optional>
#include <string>

#include "platform/registry/Registry.h"

namespace installer {

// The count stored for `path` in the open SharedDLLs key: the first 4 bytes of a
// REG_DWORD, 1000 for a value of another type, nothing when there is no value.
std::optional<platform::DWORD> ReadSharedCount(platform::HKEY key, const std::string& path);
// Writes the count as a 4-byte REG_DWORD, replacing any other type.
bool WriteSharedCount(platform::HKEY key, const std::string& path, platform::DWORD count);

}  // namespace installer
