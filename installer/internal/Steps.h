#pragma once
// The installation's steps, which RunInstallation carries out in its fixed order:
// destination placeholders, file placement (plain writes, version-checked system files,
// replacement at the next start), and the registry and shortcut steps. Private to
// installer/: front ends call installer/Installer.h.

#include <cstdint>
#include <string>

#include "installer/Installer.h"
#include "installer/Places.h"
#include "platform/registry/Registry.h"
#include "platform/resources/Version.h"
#include "platform/shell/Shell.h"

namespace installer {

inline constexpr const char* kCompanyName = "Korvell";
inline constexpr const char* kUninstallerName = "\\ONUnInst.exe";

// Replaces the first placeholder found ("<appdir>", "<sysdir>", "<sysdir32>",
// "<sysdir16>", "<driver_dir>", "<windir>", "<shareddir>", tested in this order).
std::string ResolveDestination(const InstallerContext& context, const std::string& destination);

// Creates the missing levels of `path` (never a drive root), logging each one.
bool CreateDirectoryChain(const std::string& path);
// Writes directory\name unconditionally and logs it; "Could not copy File." on failure.
bool WritePayloadFile(const void* data, size_t size, const std::string& name, const std::string& directory,
                      bool component);
// Stages, compares versions and places a system file: 1 when it is in place, 0 when
// nothing was placed, the existing file was kept or it is left for the next start.
int PlaceSystemFile(InstallerContext& context, const void* data, size_t size, const std::string& name,
                    const std::string& directory, bool component);
bool ReadProductVersion(const std::string& path, platform::VS_FIXEDFILEINFO& out);
// Adds "NUL=target" and "target=source" to wininit.ini's [rename] section.
void ScheduleRenameAtBoot(const InstallerContext& context, const std::string& target, const std::string& source);

// Registry and shortcut steps.
bool CreateLoggedKey(const std::string& subkey, platform::HKEY& key);
void WriteUninstallEntry(const InstallerContext& context);
// Takes the uninstall entry away again when the log it names could not be written.
void RemoveUninstallEntry(const InstallerContext& context);
void WriteCompanyKey(const InstallerContext& context);
void WriteAppPathsEntry(const InstallerContext& context);
void WriteAspiServiceKeys();
void IncrementSharedCount(const std::string& path);
bool RegisterServerFile(const std::string& path);
void CreateStartMenuShortcut(const InstallerContext& context);

struct ShortcutRequest {
  std::string targetPath;
  uint32_t flags = 0;
  std::string description;       // 0x01
  std::string arguments;         // 0x02
  std::string iconPath;          // 0x04
  int iconIndex = 0;             // 0x04
  std::string workingDirectory;  // 0x08
  int showCommand = 0;           // 0x20
  uint16_t hotkey = 0;           // 0x10
};
platform::HRESULT CreateShellShortcut(const std::string& linkPath, const ShortcutRequest& request);

}  // namespace installer
