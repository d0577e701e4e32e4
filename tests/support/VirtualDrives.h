#pragma once
// Virtual drives and registry values for tests: a small image whose bytes tell their
// sector, faults injected through the machine's drive table.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/aspi/DriveTable.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

// Sets a value below HKEY_LOCAL_MACHINE, creating the key.
inline void SetMachineValue(const std::string& path, const char* name, platform::DWORD type,
                            const std::vector<platform::BYTE>& data) {
  platform::HKEY key = nullptr;
  platform::RegCreateKeyExA(platform::HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, platform::KEY_ALL_ACCESS,
                            nullptr, &key, nullptr);
  platform::RegSetValueExA(key, name, 0, type, data.data(), static_cast<platform::DWORD>(data.size()));
  platform::RegCloseKey(key);
}

inline void SetMachineString(const std::string& path, const char* name, const std::string& text) {
  SetMachineValue(path, name, platform::REG_SZ, std::vector<platform::BYTE>(text.c_str(), text.c_str() + text.size() + 1));
}

inline void SetMachineDword(const std::string& path, const char* name, platform::DWORD value) {
  const auto* bytes = reinterpret_cast<const platform::BYTE*>(&value);
  SetMachineValue(path, name, platform::REG_DWORD, std::vector<platform::BYTE>(bytes, bytes + 4));
}

// Four sectors, each byte its sector number.
inline std::filesystem::path FourSectorImage() {
  const std::filesystem::path path = FreshFolder("four-sectors") / "four.iso";
  std::ofstream out(path, std::ios::binary);
  for (char sector = 0; sector < 4; ++sector) out << std::string(2048, sector);
  return path;
}

// The drive's next `count` commands, once the layer has read the table, end with
// `status` (SS_PENDING: held until aborted).
inline void SetDriveFault(char letter, platform::DWORD count, platform::DWORD status) {
  const std::string path = std::string(aspi::kDriveTableKey) + "\\" + letter;
  SetMachineDword(path, "FailCount", count);
  SetMachineDword(path, "FailStatus", status);
}

}  // namespace testsupport
