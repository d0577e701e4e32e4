#pragma once
// Version records. Every file Carvox builds ends in a 52-byte fixed version record
// (VS_FIXEDFILEINFO, signature 0xFEEF04BD, structure version 1.0); the version calls
// read it back as Windows reads a file's version resource. A file without a valid
// record at its end has no version information.

#include <optional>
#include <string>

#include "platform/machine/WinTypes.h"

namespace platform {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;
inline constexpr DWORD VFT_DRV = 3;

// A record for version a.b.c.d (file and product version alike).
VS_FIXEDFILEINFO MakeVersionRecord(WORD a, WORD b, WORD c, WORD d, DWORD fileType);
// The record at the end of `bytes`, if it is whole and valid.
std::optional<VS_FIXEDFILEINFO> VersionRecordOf(const std::string& bytes);

// The size of the file's version block; 0 (ERROR_RESOURCE_TYPE_NOT_FOUND) when the file
// has no valid record, or the file's error when it cannot be read.
DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle);
// Copies the version block into `data` (`size` bytes, as GetFileVersionInfoSizeA said).
BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data);
// For the root block "\\": points `buffer` at the block's fixed record. Any other query,
// or a block whose lengths or signature are wrong, fails.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

inline constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

}  // namespace platform
