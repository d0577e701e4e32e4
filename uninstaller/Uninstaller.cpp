#include "uninstaller/Uninstaller.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "installer/InstallLog.h"
#include "installer/Messages.h"
#include "installer/Places.h"
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

void RemoveApplicationFile(const LogLine& line) {
  const std::string path = line.first + "\\" + line.second;
  if (line.IsComponent()) {
    if (DecrementSharedCount(path) != 0) return;
    UnregisterServerFile(path);
  }
  DeleteFileA(path.c_str());
}

void RemoveSystemFile(const LogLine& line) {
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

// Whether the line names something the installation could have created. Lines of other
// kinds name nothing and pass.
bool WithinPlaces(const LogLine& line, const InstalledPlaces& places) {
  switch (line.kind) {
    case LogLineKind::AppFile:
    case LogLineKind::SysFile: return places.HoldsFile(line.first, line.second);
    case LogLineKind::NewKey: return places.HoldsKey(line.first, line.second);
    case LogLineKind::NewDir: return places.HoldsFolder(line.first);
    case LogLineKind::RegFile:
    case LogLineKind::Unknown: return true;
  }
  return false;
}

// The closing message: success, or the lines left alone (the first ten of them, each cut
// short, so that a damaged log cannot make the message itself unreadable).
void ReportOutcome(const std::vector<std::string>& leftAlone) {
  if (leftAlone.empty()) {
    ShowMessage("Uninstall successful", MB_OK | MB_ICONINFORMATION, kUninstallerCaption);
    return;
  }
  constexpr size_t kShown = 10;
  constexpr size_t kLineLength = 300;
  std::string text = "Uninstall finished, but these lines of the install log name nothing this installation "
                     "created and were left alone:\n";
  for (size_t i = 0; i < std::min(leftAlone.size(), kShown); ++i) {
    text += "\n" + leftAlone[i].substr(0, kLineLength) + (leftAlone[i].size() > kLineLength ? "..." : "");
  }
  if (leftAlone.size() > kShown) text += "\n(and " + std::to_string(leftAlone.size() - kShown) + " more)";
  ShowMessage(text, MB_OK | MB_ICONWARNING, kUninstallerCaption);
}

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

bool ProcessLogLine(const std::string& text, const InstalledPlaces& places) {
  const LogLine line = installer::SplitLogLine(text);
  if (!WithinPlaces(line, places)) return false;
  switch (line.kind) {
    case LogLineKind::AppFile: RemoveApplicationFile(line); break;
    case LogLineKind::SysFile: RemoveSystemFile(line); break;
    case LogLineKind::NewKey: DeleteKey(line); break;
    case LogLineKind::NewDir: RemoveDirectoryA(line.first.c_str()); break;
    case LogLineKind::RegFile:
    case LogLineKind::Unknown: break;
  }
  return true;
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
    return 1;
  }
  if (splash != nullptr) splash->Show();
  std::vector<std::string> lines;
  if (!installer::ReadInstallLog(logPath, lines)) {
    if (splash != nullptr) splash->Close();
    ShowMessage("Could not uninstall (could not open log file)", MB_OK | MB_ICONSTOP, "Error");
    return 1;
  }
  // Read before the first line runs: the product's keys go with the last lines.
  const InstalledPlaces places = InstalledPlaces::OfThisMachine();
  std::vector<std::string> leftAlone;
  for (const std::string& line : lines) {
    if (!ProcessLogLine(line, places)) leftAlone.push_back(line);
  }
  if (splash != nullptr) splash->Close();
  ReportOutcome(leftAlone);
  return leftAlone.empty() ? 0 : 1;
}

}  // namespace uninstaller
