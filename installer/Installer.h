#pragma once
// The setup program's steps: the context of the run, destination placeholders, file
// placement (plain writes, version-checked system files, replacement at the next
// start), the registry and shortcut steps, and the fixed installation sequence. The
// wizard and the unattended front end both call RunInstallation.

#include <cstdint>
#include <string>

#include "platform/registry/Registry.h"
#include "platform/resources/Version.h"
#include "platform/shell/Shell.h"

namespace installer {

inline constexpr const char* kCompanyName = "Korvell";
// The product and its main program (strings 50000 and 50001 of the setup program).
inline constexpr const char* kProductName = "Carvox";
inline constexpr const char* kMainProgramName = "Carvox.exe";
inline constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";
inline constexpr const char* kSharedDllsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr const char* kUninstallerName = "\\ONUnInst.exe";

class InstallerContext {
 public:
  InstallerContext() = default;
  InstallerContext(const InstallerContext&) = delete;
  InstallerContext& operator=(const InstallerContext&) = delete;
  // Removes the temporary directory (only an empty one goes).
  virtual ~InstallerContext();

  bool isNT = false;
  bool rebootNeeded = false;
  std::string programFilesDir;
  std::string commonFilesDir;
  std::string programsFolder;
  bool initialised = false;
  std::string sharedDir;
  std::string appDir;
  std::string windowsDir;
  std::string system16Dir;
  std::string driverDir;
  std::string systemDir;
  std::string tempDir;
  std::string productName;
  std::string mainProgramName;
};

// Fills the context once from the machine, the registry and the string table; creates
// the temporary directory. A second call does nothing.
void InitContext(InstallerContext& context);
// A REG_SZ value read with a buffer of `limit` bytes (the directories have always been
// read with 256); false when the key or value is missing or longer.
bool QueryString(platform::HKEY root, const char* subkey, const char* name, std::string& value, size_t limit = 256);
// Fills only the machine's folders: the Windows version, the Windows, system, driver,
// Program Files, Common Files, Start-menu Programs and shared folders.
void ReadMachineFolders(InstallerContext& context);

// Replaces the first placeholder found ("<appdir>", "<sysdir>", "<sysdir32>",
// "<sysdir16>", "<driver_dir>", "<windir>", "<shareddir>", tested in this order).
std::string ResolveDestination(const InstallerContext& context, const std::string& destination);

// Checks a directory typed by the user: absolute with a drive letter, or a host path
// (taken in its Z: form), and without a comma (the log could not hold it). Returns the
// directory to use, or an empty string with `reason` set.
std::string AcceptDirectory(const std::string& typed, std::string& reason);

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

// The HKEY_LOCAL_MACHINE keys the registry steps create.
inline constexpr const char* kAspiKey = "SYSTEM\\CurrentControlSet\\Services\\ASPI32";
inline constexpr const char* kAspiParametersKey = "SYSTEM\\CurrentControlSet\\Services\\ASPI32\\Parameters";
std::string UninstallEntryKey(const std::string& productName);
std::string CompanyKey(const std::string& productName);
std::string AppPathsKey(const std::string& mainProgramName);
// The folder of the Start-menu shortcut.
std::string ShortcutFolder(const InstallerContext& context);

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

// Where the progress text goes (the wizard's static control, or the terminal).
class ProgressText {
 public:
  virtual ~ProgressText() = default;
  virtual void SetText(const std::string& text) = 0;
};

// The sequence Finish starts; every step reports its own error (counted by ErrorCount)
// and the next one runs.
void RunInstallation(InstallerContext& context, ProgressText& progress);

// The message after a completed installation; with the reboot flag set, the reboot
// question, whose OK restarts the machine.
void ShowClosingMessage(const InstallerContext& context);

}  // namespace installer
