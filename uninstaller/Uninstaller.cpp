#include "uninstaller/Uninstaller.h"

#include <cctype>
#include <vector>

#include "installer/InstallLog.h"
#include "installer/Installer.h"
#include "installer/Messages.h"
#include "installer/SharedCount.h"
#include "platform/library/Library.h"
#include "platform/machine/FileServices.h"

namespace uninstaller {
namespace {

using namespace platform;
using installer::LogLine;
using installer::LogLineKind;
using installer::ShowMessage;

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// A file line without a file name names no file: "DIRECTORY\\" would reach the
// directory's own path, which the log never gave as a file.
bool NamesAFile(const LogLine& line) { return !line.first.empty() && !line.second.empty(); }

void RemoveApplicationFile(const LogLine& line) {
  if (!NamesAFile(line)) return;
  const std::string path = line.first + "\\" + line.second;
  if (line.IsComponent()) {
    if (DecrementSharedCount(path) != 0) return;
    UnregisterServerFile(path);
  }
  DeleteFileA(path.c_str());
}

void RemoveSystemFile(const LogLine& line) {
  if (!NamesAFile(line)) return;
  const std::string path = line.first + "\\" + line.second;
  if (DecrementSharedCount(path) != 0) return;
  const std::string question =
      "<" + line.second + ">\n\nThis file seems to be no longer in use.\nDo you want to remove it?";
  if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION, kUninstallerCaption) != IDYES) return;
  if (line.IsComponent()) UnregisterServerFile(path);
  DeleteFileA(path.c_str());
}

void DeleteKey(const LogLine& line) {
  if (HKEY root = RootKeyNamed(line.first)) RegDeleteKeyA(root, line.second.c_str());
}

using ServerEntry = long (*)();

}  // namespace

HKEY RootKeyNamed(const std::string& name) {
  const std::pair<const char*, HKEY> roots[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},                 {"HKEY_DYN_DATA", HKEY_DYN_DATA},
  };
  for (const auto& [root, key] : roots) {
    if (name == root) return key;
  }
  return nullptr;
}

int ProcessLogLine(const std::string& text) {
  const LogLine line = installer::SplitLogLine(text);
  switch (line.kind) {
    case LogLineKind::AppFile: RemoveApplicationFile(line); break;
    case LogLineKind::SysFile: RemoveSystemFile(line); break;
    case LogLineKind::NewKey: DeleteKey(line); break;
    case LogLineKind::NewDir: RemoveDirectoryA(line.first.c_str()); break;
    case LogLineKind::RegFile:
    case LogLineKind::Unknown: break;
  }
  return 0;
}

int DecrementSharedCount(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, installer::kSharedDllsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return 1;
  }
  const std::optional<DWORD> count = installer::ReadSharedCount(key, path);
  DWORD left = 1;
  if (count) {
    left = *count == 0 ? 0 : *count - 1;
    // The last user gone, the value goes: writing 0 first would only save the hive twice.
    if (left == 0) {
      RegDeleteValueA(key, path.c_str());
    } else {
      installer::WriteSharedCount(key, path, left);
    }
  }
  RegCloseKey(key);
  return static_cast<int>(left);
}

void UnregisterServerFile(const std::string& path) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) return;
  if (FARPROC entry = GetProcAddress(library, "DllUnregisterServer")) reinterpret_cast<ServerEntry>(entry)();
  FreeLibrary(library);
}

int WinMain(const std::string& commandLine, Splash* splash) {
  const std::string logPath = Trimmed(commandLine);
  if (logPath.empty() || !PathExists(logPath)) {
    ShowMessage("Could not uninstall (log file not found)", MB_OK | MB_ICONSTOP, "Error");
    return 0;
  }
  if (splash != nullptr) splash->Show();
  std::vector<std::string> lines;
  if (!installer::ReadInstallLog(logPath, lines)) {
    if (splash != nullptr) splash->Close();
    ShowMessage("Could not uninstall (could not open log file)", MB_OK | MB_ICONSTOP, "Error");
    return 0;
  }
  for (const std::string& line : lines) ProcessLogLine(line);
  if (splash != nullptr) splash->Close();
  ShowMessage("Uninstall successful", MB_OK | MB_ICONINFORMATION, kUninstallerCaption);
  return 0;
}

}  // namespace uninstaller
