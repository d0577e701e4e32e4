#pragma once
// Virtual drives for tests: a small image whose bytes tell their sector, and faults
// injected through the machine's drive table.

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/aspi/DriveTable.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

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
  platform::HKEY key = nullptr;
  const std::string path = std::string(aspi::kDriveTableKey) + "\\" + letter;
  platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, path.c_str(), 0, platform::KEY_ALL_ACCESS, &key);
  platform::RegSetValueExA(key, "FailCount", 0, platform::REG_DWORD, reinterpret_cast<const platform::BYTE*>(&count), 4);
  platform::RegSetValueExA(key, "FailStatus", 0, platform::REG_DWORD, reinterpret_cast<const platform::BYTE*>(&status), 4);
  platform::RegCloseKey(key);
}

}  // namespace testsupport
