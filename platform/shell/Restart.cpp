// The machine's restart: what Windows does with wininit.ini at its next start.
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "platform/machine/FileServices.h"
#include "platform/machine/Machine.h"
#include "platform/shell/Shell.h"

namespace platform {
namespace {

std::string TrimLeft(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

bool IsSectionHeader(const std::string& line) { return TrimLeft(line).starts_with('['); }

// Writes a new file beside `path` and puts it in place in one step, so that a failed
// write leaves the old file whole.
bool ReplaceLines(const std::string& path, const std::vector<std::string>& lines) {
  const std::string fresh = path + ".new";
  std::FILE* file = OpenFile(fresh, "w");
  if (file == nullptr) return false;
  bool written = true;
  for (const std::string& line : lines) {
    written = written && std::fputs(line.c_str(), file) != EOF && std::fputc('\n', file) != EOF;
  }
  std::error_code error;
  if (std::fclose(file) == 0 && written) std::filesystem::rename(ToHostPath(fresh), ToHostPath(path), error);
  else error = std::make_error_code(std::errc::io_error);
  if (error) DeleteFileA(fresh.c_str());
  return !error;
}

// "NUL=path" deletes; "target=source" replaces target by source.
void CarryOut(const std::string& entry) {
  const size_t equals = entry.find('=');
  if (equals == std::string::npos) return;
  const std::string target = entry.substr(0, equals);
  const std::string source = entry.substr(equals + 1);
  if (::strcasecmp(target.c_str(), "NUL") == 0) {
    DeleteFileA(source.c_str());
    return;
  }
  if (!PathExists(source)) return;  // nothing to move: keep the target
  DeleteFileA(target.c_str());
  MoveFileA(source.c_str(), target.c_str());
}

}  // namespace

bool IsRenameSectionHeader(const std::string& line) {
  const std::string text = TrimLeft(line);
  return text.size() >= 8 && ::strncasecmp(text.c_str(), "[rename]", 8) == 0;
}

BOOL ExitWindowsEx(UINT flags, DWORD /*reason*/) {
  if (flags != EWX_REBOOT) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  ClearAllInUse();
  const std::string path = std::string(kWindowsFolder) + "\\wininit.ini";
  std::vector<std::string> lines;
  if (!ReadTextLines(path, lines)) return TRUE;  // nothing left for the start
  std::vector<std::string> kept;
  std::vector<std::string> entries;
  bool inRename = false;
  for (const std::string& line : lines) {
    if (IsSectionHeader(line)) inRename = IsRenameSectionHeader(line);
    (inRename && !IsSectionHeader(line) ? entries : kept).push_back(line);
  }
  // The section is emptied before its lines are carried out: lines done twice would
  // delete the files that the first run put in place.
  if (!ReplaceLines(path, kept)) {
    SetLastError(ERROR_CANTWRITE);
    return FALSE;
  }
  for (const std::string& entry : entries) CarryOut(entry);
  return TRUE;
}

}  // namespace platform
