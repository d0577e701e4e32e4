// The installation sequence and the payload loops.
#include <iterator>
#include <string>

#include "installer/InstallLog.h"
#include "installer/Messages.h"
#include "installer/internal/Files.h"
#include "installer/internal/PayloadNumbers.h"
#include "installer/internal/Steps.h"
#include "platform/machine/FileServices.h"
#include "platform/resources/Resources.h"

namespace installer {
namespace {

using namespace platform;

enum class Placement { Plain, System };

struct PayloadKind {
  const PayloadNumbers& numbers;
  Placement placement;
  bool component;
};

// In the order they are placed; each kind moves the progress bar on from its own
// start, kMaxPayloadIndex steps after the previous kind's.
constexpr PayloadKind kPayloadKinds[] = {
    {kApplicationFileNumbers, Placement::Plain, false},
    {kSystemFileNumbers, Placement::System, false},
    {kSelfRegisteringSystemFileNumbers, Placement::System, true},
    {kCustomComponentNumbers, Placement::Plain, true},
};

std::string LoadText(UINT id) {
  char buffer[2048];
  LoadStringA(nullptr, id, buffer, sizeof buffer);
  return buffer;
}

void ShowProgress(ProgressText& progress, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "|||||";
  progress.SetText(text);
}

// On Windows 95/98 the files for these destinations (the ASPI files) are not installed.
bool SkippedOnWindows9x(const std::string& destination) {
  return destination == "<sysdir32>" || destination == "<sysdir16>" || destination == "<driver_dir>";
}

// Places one file and carries out what follows its placement.
void PlaceAndFollowUp(InstallerContext& context, const PayloadKind& kind, const void* data, size_t size,
                      const std::string& name, const std::string& directory) {
  const std::string path = directory + "\\" + name;
  if (kind.placement == Placement::Plain) {
    const bool written = WritePayloadFile(data, size, name, directory, kind.component);
    if (written && kind.component) {
      RegisterServerFile(path);
      IncrementSharedCount(path);
    }
    return;
  }
  const int placed = PlaceSystemFile(context, data, size, name, directory, kind.component);
  if (kind.component && placed == 1) RegisterServerFile(path);
  IncrementSharedCount(path);
}

void InstallPayload(InstallerContext& context, const PayloadKind& kind, int progressStart, ProgressText& progress) {
  int counter = 0;
  int step = progressStart;
  for (int index = 1; index <= kMaxPayloadIndex; ++index) {
    HRSRC resource = FindResourceA(nullptr, (kind.numbers.prefix + std::to_string(index)).c_str(), "INSTFILE");
    if (resource == nullptr) continue;
    const void* data = LockResource(LoadResource(nullptr, resource));
    const size_t size = SizeofResource(nullptr, resource);
    const std::string destination = LoadText(kind.numbers.destinationStrings + counter);
    const std::string name = LoadText(kind.numbers.nameStrings + counter);
    ++counter;
    if (kind.placement == Placement::System && !context.isNT && SkippedOnWindows9x(destination)) continue;
    if (kind.placement == Placement::System && destination == "<driver_dir>") context.rebootNeeded = true;
    const std::string directory = ResolveDestination(context, destination);
    CreateDirectoryChain(directory);
    PlaceAndFollowUp(context, kind, data, size, name, directory);
    ShowProgress(progress, ++step);
  }
}

void CopyUninstaller(const InstallerContext& context) {
  HRSRC resource = FindResourceA(nullptr, "IDT_APPFILE_UNINST", "INSTFILE");
  const void* data = LockResource(LoadResource(nullptr, resource));
  if (data == nullptr || !WriteWholeFile(context.windowsDir + kUninstallerName, data, SizeofResource(nullptr, resource))) {
    ShowError("Could not copy File.");
  }
}

void OpenReadMe(const InstallerContext& context) {
  const std::string readMe = context.appDir + "\\ReadMe.txt";
  if (PathExists(readMe)) ShellExecuteA(nullptr, "open", readMe.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void RunInstallation(InstallerContext& context, ProgressText& progress) {
  progress.SetText("");
  WriteUninstallEntry(context);
  WriteCompanyKey(context);
  WriteAppPathsEntry(context);
  CreateDirectoryChain(context.appDir);
  CreateDirectoryChain(context.sharedDir);
  for (size_t k = 0; k < std::size(kPayloadKinds); ++k) {
    InstallPayload(context, kPayloadKinds[k], static_cast<int>(k) * kMaxPayloadIndex, progress);
  }
  if (context.isNT) WriteAspiServiceKeys();
  CreateStartMenuShortcut(context);
  LogAppFile(context.appDir, kInstallLogName, false);
  // Without its log the entry would offer an uninstallation that cannot run.
  if (!WriteInstallLog(context.appDir + "\\" + kInstallLogName)) RemoveUninstallEntry(context);
  CopyUninstaller(context);
  OpenReadMe(context);
}

void ShowClosingMessage(const InstallerContext& context) {
  if (!context.rebootNeeded) {
    ShowMessage("Setup finished", MB_OK | MB_ICONINFORMATION, kInstallerCaption);
    return;
  }
  const int answer = ShowMessage("Setup finished.\nYou have to reboot your computer\n(choose 'Cancel' to reboot later).",
                                 MB_OKCANCEL | MB_ICONQUESTION, "Reboot");
  if (answer == IDOK) ExitWindowsEx(EWX_REBOOT, 0);
}

}  // namespace installer
