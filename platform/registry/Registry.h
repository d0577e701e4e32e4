#pragma once
// The machine's registry, with the calls and results of the Windows registry API: six
// predefined roots, keys and typed values whose names are matched without regard to
// case (the case first written is kept), the unnamed default value (name null or "").
//
// Every change is saved to the machine's hive file at once, atomically and under a file
// lock; a hive changed by another program is read again before the next call, so that
// programs working at the same time lose nothing. A hive file that cannot be read makes
// every call throw HiveError and is never overwritten.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/machine/WinTypes.h"

namespace platform {

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

// The predefined roots (always open; closing them does nothing). Defined here, not in
// a source file, so that static objects of other files can use them while starting.
inline HKEY PredefinedKey(uintptr_t low) { return reinterpret_cast<HKEY>(uintptr_t{0x80000000} + low); }
inline const HKEY HKEY_CLASSES_ROOT = PredefinedKey(0);
inline const HKEY HKEY_CURRENT_USER = PredefinedKey(1);
inline const HKEY HKEY_LOCAL_MACHINE = PredefinedKey(2);
inline const HKEY HKEY_USERS = PredefinedKey(3);
inline const HKEY HKEY_CURRENT_CONFIG = PredefinedKey(5);
inline const HKEY HKEY_DYN_DATA = PredefinedKey(6);

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Limits of names and data; longer ones are refused with ERROR_INVALID_PARAMETER.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
inline constexpr size_t kMaxValueSize = 1 << 20;
// A key lies at most this many levels below its root, as on Windows.
inline constexpr size_t kMaxKeyDepth = 512;

// The hive file cannot be read (the message names the file and the line) or written.
// The registry calls throw it; each program's main runs its work through
// RunReportingHiveErrors, and a worker thread that uses the registry catches it itself.
class HiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs a program's work and returns its exit status; a HiveError is shown through
// platform::MessageBox (with `caption`) and ends the work with status 1.
int RunReportingHiveErrors(const std::function<int()>& work, const std::string& caption = "Carvox");

// Creates the key and every missing key on the way; the disposition tells whether the
// last one was created or existed. A key deeper than kMaxKeyDepth is refused with
// ERROR_INVALID_PARAMETER.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, const void* securityAttributes, HKEY* result,
                     DWORD* disposition);
// Fails with ERROR_FILE_NOT_FOUND when the key does not exist.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCloseKey(HKEY key);

// With `data` null, reports the size only. A buffer smaller than the value gives
// ERROR_MORE_DATA with the size needed in *size, and nothing is copied.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
// Stores `size` bytes as given: a REG_SZ carries its NUL in `size`.
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueA(HKEY key, const char* name);
// Fails with ERROR_ACCESS_DENIED while the key has subkeys, as on Windows NT.
LONG RegDeleteKeyA(HKEY key, const char* subKey);

// Enumerate by index from 0 until ERROR_NO_MORE_ITEMS. Name sizes count characters: the
// buffer's size with its NUL on the way in, the name's length without it on the way out.
// Subkeys and values come in the order of their names, case ignored.
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                   char* keyClass, DWORD* classSize, FILETIME* lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);

// The REGEDIT4 text of the key and everything below it; with `key` null, the whole
// registry.
LONG RegExportText(HKEY key, const char* subKey, std::string& text);

}  // namespace platform
