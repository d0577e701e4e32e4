// The install log reader and the uninstaller's handling of each line, over a machine of
// this process in the scratch folder that holds a whole installation. Each input is a
// log file, read as the uninstaller reads it and carried out line by line.
//
// Drive Z: of the machine is the host's "/": a line whose path is not on drive C: is
// never carried out, whatever the uninstaller would make of it, so that no input can
// reach a file of the host; such a line must not name a place of the installation.

#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "installer/InstallLog.h"
#include "installer/internal/Files.h"
#include "installer/internal/Steps.h"
#include "platform/machine/FileServices.h"
#include "platform/machine/Machine.h"
#include "platform/prompt/Prompt.h"
#include "platform/registry/Registry.h"
#include "tests/fuzz/FuzzSupport.h"
#include "uninstaller/Uninstaller.h"

namespace {

using namespace platform;

constexpr const char* kAppDir = "C:\\Program Files\\Korvell\\Carvox";
constexpr const char* kLogPath = "C:\\Program Files\\Korvell\\Carvox\\_install.log";
constexpr const char* kAppFiles[] = {"Carvox.exe", "SFEDT32.DLL", "Carvox.hlp", "Carvox.cnt"};
constexpr const char* kSystemFiles[] = {"C:\\WINDOWS\\system32\\MFC42.DLL", "C:\\WINDOWS\\system32\\wnaspi32.dll",
                                        "C:\\WINDOWS\\system\\WINASPI.DLL",
                                        "C:\\WINDOWS\\system32\\drivers\\ASPI32.SYS"};

// Answers Yes to the question whether an unused shared file goes, so that its removal
// is reached too.
class AgreeingPrompt : public Prompt {
 public:
  int Show(const std::string&, const std::string&, unsigned type) override {
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
};

void WriteFile(const std::string& path, const std::string& bytes) {
  installer::WriteWholeFile(path, bytes.data(), bytes.size());
}

// The files and folders an installation leaves, made again for each input.
void InstallFiles() {
  installer::CreateDirectoryChain(kAppDir);
  for (const char* name : kAppFiles) WriteFile(std::string(kAppDir) + "\\" + name, name);
  const std::string startMenu = std::string(kCommonProgramsFolder) + "\\Korvell";
  installer::CreateDirectoryChain(startMenu);
  WriteFile(startMenu + "\\Carvox.lnk", "[Shell Link]\n");
  for (const char* folder : {"C:\\Program Files\\Common Files\\Korvell", "C:\\WINDOWS\\system32\\drivers",
                             "C:\\WINDOWS\\system"}) {
    installer::CreateDirectoryChain(folder);
  }
  for (const char* file : kSystemFiles) WriteFile(file, file);
  installer::TheInstallLog().Clear();  // the folders it logged
}

// The keys, values and usage counts of the installation, made once by the setup
// program's own steps: each input starts from a copy of the hive file as it is then.
void InstallKeys() {
  installer::InstallerContext context;
  installer::ReadMachineFolders(context);
  context.productName = installer::kProductName;
  context.mainProgramName = installer::kMainProgramName;
  context.appDir = kAppDir;
  installer::WriteUninstallEntry(context);
  installer::WriteCompanyKey(context);
  installer::WriteAppPathsEntry(context);
  installer::WriteAspiServiceKeys();
  HKEY shared = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, installer::kSharedDllsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &shared,
                      nullptr) == ERROR_SUCCESS) {
    RegCloseKey(shared);
  }
  for (const char* file : kSystemFiles) installer::IncrementSharedCount(file);
  installer::TheInstallLog().Clear();
}

// Whether a line's path, if it has one, starts on drive C:, the machine's own.
bool StaysInTheMachine(const std::string& text) {
  const installer::LogLine line = installer::SplitLogLine(text);
  if (line.kind == installer::LogLineKind::NewKey || line.kind == installer::LogLineKind::RegFile ||
      line.kind == installer::LogLineKind::Unknown) {
    return true;
  }
  return line.first.size() >= 2 && std::toupper(static_cast<unsigned char>(line.first[0])) == 'C' &&
         line.first[1] == ':';
}

std::filesystem::path PristineHive() { return fuzzsupport::ScratchFolder() / "installed.reg"; }

void Prepare() {
  static const bool prepared = [] {
    setenv("CARVOX_MACHINE", (fuzzsupport::ScratchFolder() / "machine").c_str(), 1);
    static AgreeingPrompt prompt;
    InstallPrompt(&prompt);
    InstallKeys();
    std::filesystem::copy_file(HiveFilePath(), PristineHive());
    return true;
  }();
  (void)prepared;
}

// A new file in the hive's place, which the registry reads again.
void RestoreHive() {
  const std::filesystem::path fresh = HiveFilePath().string() + ".fresh";
  std::filesystem::copy_file(PristineHive(), fresh, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::rename(fresh, HiveFilePath());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Prepare();
  RestoreHive();
  InstallFiles();
  WriteFile(kLogPath, std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> lines;
  if (!installer::ReadInstallLog(kLogPath, lines)) return 0;
  const uninstaller::InstalledPlaces places = uninstaller::InstalledPlaces::OfThisMachine();
  for (const std::string& line : lines) {
    if (StaysInTheMachine(line)) {
      uninstaller::ProcessLogLine(line, places);
      continue;
    }
    // Every place of this installation is on drive C:, so nothing elsewhere is one.
    const installer::LogLine split = installer::SplitLogLine(line);
    if (places.HoldsFile(split.first, split.second) || places.HoldsFolder(split.first)) std::abort();
  }
  return 0;
}
