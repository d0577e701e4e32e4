// The installer's registry entries, shared counts, component registration and the
// Start-menu shortcut.
#include <string>

#include "installer/InstallLog.h"
#include "installer/Messages.h"
#include "installer/SharedCount.h"
#include "installer/internal/Steps.h"
#include "platform/library/Library.h"

namespace installer {
namespace {

using namespace platform;

constexpr const char* kKeyError =
    "There was an error while trying to set up a registry key\nThe installation may be incomplete.";
constexpr const char* kValueError =
    "There was an error while trying to set up a registry key\nThe installation my be incomplete.";

bool SetString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SetOne(HKEY key, const char* name) {
  const DWORD one = 1;
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one) == ERROR_SUCCESS;
}

// Writes each value, showing the value message after each failure.
void WriteStrings(HKEY key, std::initializer_list<std::pair<const char*, std::string>> values) {
  for (const auto& [name, value] : values) {
    if (!SetString(key, name, value)) ShowError(kValueError);
  }
}

using ServerEntry = HRESULT (*)();

}  // namespace

std::string UninstallEntryKey(const std::string& productName) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::string CompanyKey(const std::string& productName) {
  return std::string("Software\\") + kCompanyName + "\\" + productName;
}

std::string AppPathsKey(const std::string& mainProgramName) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + mainProgramName;
}

std::string ShortcutFolder(const InstallerContext& context) { return context.programsFolder + "\\" + kCompanyName; }

bool CreateLoggedKey(const std::string& subkey, HKEY& key) {
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, &disposition) != ERROR_SUCCESS) {
    ShowError(kKeyError);
    return false;
  }
  if (disposition == REG_CREATED_NEW_KEY) LogNewKey(kRootName, subkey);
  return true;
}

void WriteUninstallEntry(const InstallerContext& context) {
  HKEY key = nullptr;
  if (!CreateLoggedKey(UninstallEntryKey(context.productName), key)) return;
  WriteStrings(key, {{"DisplayName", context.productName},
                     {"UninstallString", context.windowsDir + "\\ONUninst.exe " + context.appDir + "\\" +
                                             kInstallLogName}});
  RegCloseKey(key);
}

void RemoveUninstallEntry(const InstallerContext& context) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallEntryKey(context.productName).c_str());
}

void WriteCompanyKey(const InstallerContext& context) {
  HKEY key = nullptr;
  if (CreateLoggedKey(CompanyKey(context.productName), key)) RegCloseKey(key);
}

void WriteAppPathsEntry(const InstallerContext& context) {
  HKEY key = nullptr;
  if (!CreateLoggedKey(AppPathsKey(context.mainProgramName), key)) {
    return;
  }
  WriteStrings(key, {{nullptr, context.appDir + "\\" + context.mainProgramName}, {"Path", context.appDir}});
  RegCloseKey(key);
}

void WriteAspiServiceKeys() {
  HKEY key = nullptr;
  if (!CreateLoggedKey(kAspiKey, key)) return;
  bool failed = false;
  for (const char* name : {"ErrorControl", "Start", "Type"}) failed = !SetOne(key, name) || failed;
  RegCloseKey(key);
  if (CreateLoggedKey(kAspiParametersKey, key)) {
    failed = RegSetValueExA(key, "ExcludeMiniports", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) !=
                 ERROR_SUCCESS ||
             failed;
    RegCloseKey(key);
  }
  if (failed) ShowError(kValueError);
}

void IncrementSharedCount(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  const DWORD count = ReadSharedCount(key, path).value_or(0);
  if (count != 0xFFFFFFFF) WriteSharedCount(key, path, count + 1);
  RegCloseKey(key);
}

bool RegisterServerFile(const std::string& path) {
  bool registered = false;
  if (HMODULE library = LoadLibraryA(path.c_str())) {
    if (FARPROC entry = GetProcAddress(library, "DllRegisterServer")) {
      registered = reinterpret_cast<ServerEntry>(entry)() >= 0;
    }
    FreeLibrary(library);
  }
  if (!registered) {
    ShowError("There was an error while trying to install a file\n(" + path + ").\nThe installation my be incomplete.");
  }
  return registered;
}

HRESULT CreateShellShortcut(const std::string& linkPath, const ShortcutRequest& request) {
  ShellLink link;
  link.target = request.targetPath;
  if (request.flags & 0x02) link.arguments = request.arguments;
  if (request.flags & 0x01) link.description = request.description;
  if (request.flags & 0x04) {
    link.iconPath = request.iconPath;
    link.iconIndex = request.iconIndex;
  }
  if (request.flags & 0x08) link.workingDirectory = request.workingDirectory;
  if (request.flags & 0x20) link.showCommand = request.showCommand;
  if (request.flags & 0x10) link.hotkey = request.hotkey;
  return SaveShellLink(linkPath.c_str(), link);
}

void CreateStartMenuShortcut(const InstallerContext& context) {
  const std::string folder = ShortcutFolder(context);
  CreateDirectoryChain(folder);
  ShortcutRequest request;
  request.targetPath = context.appDir + "\\" + context.mainProgramName;
  request.flags = 0x08;
  request.workingDirectory = context.appDir;
  CreateShellShortcut(folder + "\\" + context.productName + ".lnk", request);
  LogAppFile(folder, context.productName + ".lnk", false);
}

}  // namespace installer
