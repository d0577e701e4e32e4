// Placing payload files: plain writes, version-checked system files and replacement at
// the next start of Windows.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "installer/InstallLog.h"
#include "installer/Messages.h"
#include "installer/internal/Files.h"
#include "installer/internal/Steps.h"
#include "platform/machine/FileServices.h"
#include "platform/resources/Resources.h"
#include "platform/machine/Machine.h"

namespace installer {
namespace {

using namespace platform;

uint64_t ProductVersion(const VS_FIXEDFILEINFO& info) {
  return static_cast<uint64_t>(info.dwProductVersionMS) << 32 | info.dwProductVersionLS;
}

// The staged copy is newer unless both files have versions and it is not greater.
bool StagedIsNewer(const std::string& existing, const std::string& staged) {
  VS_FIXEDFILEINFO existingVersion;
  VS_FIXEDFILEINFO stagedVersion;
  if (!ReadProductVersion(existing, existingVersion) || !ReadProductVersion(staged, stagedVersion)) return true;
  return ProductVersion(stagedVersion) > ProductVersion(existingVersion);
}

// The short form, or the long path where none can be had.
std::string ShortForm(const std::string& path) {
  char buffer[256];
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  return length == 0 || length >= sizeof buffer ? path : std::string(buffer, length);
}

bool WriteText(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Copies wininit.ini's lines to `output`, adding the two lines after every [rename]
// header, or a new section at the end.
bool WriteRenamedCopy(const std::vector<std::string>& lines, const std::string& entries,
                      const std::string& output) {
  std::FILE* file = OpenFile(output, "w");
  if (file == nullptr) return false;
  bool written = true;
  bool found = false;
  for (const std::string& line : lines) {
    written = written && WriteText(file, line + "\n");
    if (!IsRenameSectionHeader(line)) continue;
    written = written && WriteText(file, entries);
    found = true;
  }
  if (!found) written = written && WriteText(file, "[Rename]\n" + entries);
  if (std::fclose(file) == 0 && written) return true;
  DeleteFileA(output.c_str());
  return false;
}

// The file in use stays; the staged copy waits beside it as ".precpy" for the next start.
// A copy already waiting there from an earlier run is named by wininit.ini's lines, which
// delete the target at the start: it goes only once the new copy has taken its place,
// and comes back when the new one cannot.
int LeaveForNextStart(InstallerContext& context, const std::string& staged, const std::string& target) {
  context.rebootNeeded = true;
  const std::string pending = target + ".precpy";
  const std::string older = pending + ".old";
  const bool olderWaits = PathExists(pending);
  if (olderWaits && (PathExists(older) || !MoveFileA(pending.c_str(), older.c_str()))) {
    DeleteFileA(staged.c_str());  // the older copy keeps waiting
    return 0;
  }
  if (!MoveFileA(staged.c_str(), pending.c_str())) {
    DeleteFileA(staged.c_str());
    if (olderWaits) MoveFileA(older.c_str(), pending.c_str());
    return 0;
  }
  if (olderWaits) DeleteFileA(older.c_str());
  ScheduleRenameAtBoot(context, target, pending);
  return 0;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  std::FILE* file = OpenFile(path, "w+b");
  if (file == nullptr) return false;
  // A payload goes from the setup program's file by the kernel, where it can.
  const bool written =
      platform::CopyFromProgramFile(data, size, fileno(file)) || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) == 0 && written) return true;
  DeleteFileA(path.c_str());
  return false;
}

bool CreateDirectoryChain(const std::string& path) {
  auto createLevel = [](const std::string& level) {
    if (PathExists(level)) return true;
    if (!CreateDirectoryA(level.c_str())) return false;
    LogNewDir(level);
    return true;
  };
  for (size_t at = path.find('\\', 4); at != std::string::npos; at = path.find('\\', at + 1)) {
    if (!createLevel(path.substr(0, at))) return false;
  }
  return createLevel(path);
}

bool WritePayloadFile(const void* data, size_t size, const std::string& name, const std::string& directory,
                      bool component) {
  if (!WriteWholeFile(directory + "\\" + name, data, size)) {
    ShowError("Could not copy File.");
    return false;
  }
  LogAppFile(directory, name, component);
  return true;
}

int PlaceSystemFile(InstallerContext& context, const void* data, size_t size, const std::string& name,
                    const std::string& directory, bool component) {
  const std::string staged = context.tempDir + "\\" + name;
  const std::string target = directory + "\\" + name;
  if (!WriteWholeFile(staged, data, size)) {
    ShowError("Could not copy file.");
    return 0;
  }
  if (!PathExists(target)) {
    LogSysFile(directory, name, component);
  } else if (!StagedIsNewer(target, staged)) {
    DeleteFileA(staged.c_str());
    return 0;
  } else if (!DeleteFileA(target.c_str())) {
    return LeaveForNextStart(context, staged, target);
  }
  if (MoveFileA(staged.c_str(), target.c_str())) return 1;
  return LeaveForNextStart(context, staged, target);
}

bool ReadProductVersion(const std::string& path, VS_FIXEDFILEINFO& out) {
  out = VS_FIXEDFILEINFO{};
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<char> block(size);
  void* value = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoA(path.c_str(), handle, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof out) {
    return false;
  }
  std::memcpy(&out, value, sizeof out);
  return true;
}

void ScheduleRenameAtBoot(const InstallerContext& context, const std::string& target, const std::string& source) {
  const std::string wininit = context.windowsDir + "\\wininit.ini";
  const std::string copy = context.tempDir + "\\kfwr.tmp";
  const std::string saved = context.tempDir + "\\wininit.old";
  if (!PathExists(wininit)) {
    std::FILE* created = OpenFile(wininit, "w+");
    if (created == nullptr || std::fclose(created) != 0) return;
  }
  std::vector<std::string> lines;
  if (!ReadTextLines(wininit, lines)) return;
  const std::string move = ShortForm(target) + "=" + ShortForm(source);
  // Already waiting for the start (an earlier installation): a second pair of lines
  // would delete the file the first pair put in place.
  if (std::find(lines.begin(), lines.end(), move) != lines.end()) return;
  const std::string entries = "NUL=" + ShortForm(target) + "\n" + move + "\n";
  if (!WriteRenamedCopy(lines, entries, copy)) return;
  // The old file is kept aside until the new one is in place, so that a failed move
  // puts it back instead of losing every replacement already scheduled.
  DeleteFileA(saved.c_str());
  if (!MoveFileA(wininit.c_str(), saved.c_str())) {
    DeleteFileA(copy.c_str());
    return;
  }
  if (MoveFileA(copy.c_str(), wininit.c_str())) {
    DeleteFileA(saved.c_str());
    return;
  }
  MoveFileA(saved.c_str(), wininit.c_str());
  DeleteFileA(copy.c_str());
}

}  // namespace installer
