#pragma once
// The shell services the setup program uses: restarting the machine (which finishes the
// file replacements left for the next start), opening a document with the desktop's
// opener, and shell links (the Start-menu shortcut).

#include <cstdint>
#include <string>

#include "platform/machine/WinTypes.h"

namespace platform {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT STG_E_CANTSAVE = static_cast<HRESULT>(0x80030103);
inline bool SUCCEEDED(HRESULT result) { return result >= 0; }

inline constexpr UINT EWX_LOGOFF = 0;
inline constexpr UINT EWX_SHUTDOWN = 1;
inline constexpr UINT EWX_REBOOT = 2;
inline constexpr LONG ERROR_CALL_NOT_IMPLEMENTED = 120;

// EWX_REBOOT restarts the machine: every in-use mark goes (no program holds a file any
// more), then the [rename] sections of C:\WINDOWS\wininit.ini are carried out in order
// ("NUL=path" deletes the file, "target=source" moves source to target, replacing it;
// split at the first '=') and emptied, their headers kept. FALSE, with the reason in
// GetLastError(), when wininit.ini cannot be rewritten: then nothing is carried out.
// Other flags are not supported.
BOOL ExitWindowsEx(UINT flags, DWORD reason);
// Whether a wininit.ini line opens a [rename] section: after leading white space, its
// first 8 characters are "[rename]" in any case.
bool IsRenameSectionHeader(const std::string& line);

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr intptr_t SE_ERR_FNF = 2;
inline constexpr intptr_t SE_ERR_NOASSOC = 31;

// Opens `file` (a Windows path) with the desktop's opener for the verb "open" (or a null
// verb). Unattended, or without a display, it prints "Open: PATH" on standard output
// instead. A result above 32 is success; SE_ERR_FNF for a missing file, SE_ERR_NOASSOC
// for another verb.
intptr_t ShellExecuteA(void* window, const char* verb, const char* file, const char* parameters,
                       const char* directory, int show);
// Set by programs run with --unattended.
void SetShellUnattended(bool unattended);

// A shell link, stored as CR LF text (see docs/installer.md):
//   [Shell Link]
//   Target=C:\Program Files\Korvell\Carvox\Carvox.exe
//   Arguments=            Description=           IconLocation=PATH,INDEX
//   WorkingDirectory=...  ShowCommand=1          Hotkey=0
struct ShellLink {
  std::string target;
  std::string arguments;
  std::string description;
  std::string iconPath;
  int iconIndex = 0;
  std::string workingDirectory;
  int showCommand = SW_SHOWNORMAL;
  WORD hotkey = 0;
  bool operator==(const ShellLink&) const = default;
};

// E_INVALIDARG for a field holding a line break; STG_E_CANTSAVE when the file cannot be
// written completely (nothing is left behind then).
HRESULT SaveShellLink(const char* linkPath, const ShellLink& link);
// False when the file is missing or is not a link.
bool LoadShellLink(const char* linkPath, ShellLink& link);

}  // namespace platform
