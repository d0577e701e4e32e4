#pragma once
// Run-time libraries by their Windows names, with the results of LoadLibraryA,
// GetProcAddress and FreeLibrary.
//
// A bare name ("SFEDT32.DLL") is looked for in the running program's folder, then in
// the installed tree's library folder relative to it (bin/../lib/carvox), then in the
// machine's system folder; in each folder first as given (the file name's case
// ignored; a name without extension also as NAME.DLL), then as lib<lower-case
// stem>.so ("libsfedt32.so"). Nothing else is searched: not the current folder, not
// the host's library path. A name holding "/" is a host path, one holding "\\" or a
// drive letter a Windows path of the machine; those are loaded from there only.
//
// Loading the same file again gives the same module and counts one more reference;
// each successful LoadLibraryA is balanced by one FreeLibrary, and the library is
// unloaded with the last one.

#include "platform/machine/WinTypes.h"

namespace platform {

struct LoadedModule;                // opaque: never dereferenced by callers
using HMODULE = LoadedModule*;
using FARPROC = void*;              // a function's or a data export's address

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// nullptr when no candidate could be loaded; GetLastError() tells ERROR_MOD_NOT_FOUND
// (no such file) or ERROR_BAD_EXE_FORMAT (a file was found but none could be loaded).
HMODULE LoadLibraryA(const char* name);
// The address of an exported function or data object; nullptr, with
// ERROR_PROC_NOT_FOUND, when the library has no such export, and with
// ERROR_INVALID_HANDLE when `module` is not a loaded module. Lookups by ordinal are
// not supported.
FARPROC GetProcAddress(HMODULE module, const char* name);
// FALSE, with ERROR_INVALID_HANDLE, for a module that is not loaded (any more).
BOOL FreeLibrary(HMODULE module);

}  // namespace platform
