#pragma once
// Where an installation puts things: the machine's folders, the registry keys it
// creates and the folder of its shortcut. The installer writes there; the uninstaller
// reads the same places to know what it may take away.

#include <string>

#include "installer/Installer.h"
#include "platform/registry/Registry.h"

namespace installer {

inline constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";
inline constexpr const char* kSharedDllsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// A REG_SZ value read with a buffer of `limit` bytes (the directories have always been
// read with 256); false when the key or value is missing or longer.
bool QueryString(platform::HKEY root, const char* subkey, const char* name, std::string& value, size_t limit = 256);
// Fills only the machine's folders: the Windows version, the Windows, system, driver,
// Program Files, Common Files, Start-menu Programs and shared folders.
void ReadMachineFolders(InstallerContext& context);

// The HKEY_LOCAL_MACHINE keys the registry steps create.
inline constexpr const char* kAspiKey = "SYSTEM\\CurrentControlSet\\Services\\ASPI32";
inline constexpr const char* kAspiParametersKey = "SYSTEM\\CurrentControlSet\\Services\\ASPI32\\Parameters";
std::string UninstallEntryKey(const std::string& productName);
std::string CompanyKey(const std::string& productName);
std::string AppPathsKey(const std::string& mainProgramName);
// The folder of the Start-menu shortcut.
std::string ShortcutFolder(const InstallerContext& context);

}  // namespace installer
