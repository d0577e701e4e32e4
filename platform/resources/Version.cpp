#include "platform/resources/Version.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "platform/machine/FileServices.h"

namespace platform {
namespace {

// The block the version calls hand out: a header (total length, value length, type,
// the key "VS_VERSION_INFO" and padding to 4 bytes), then the fixed record.
struct VersionBlock {
  WORD wLength;
  WORD wValueLength;
  WORD wType;
  char szKey[16];
  WORD padding;
  VS_FIXEDFILEINFO value;
};
static_assert(sizeof(VersionBlock) == 76);
constexpr char kKey[] = "VS_VERSION_INFO";

bool Valid(const VS_FIXEDFILEINFO& record) {
  return record.dwSignature == VS_FFI_SIGNATURE && record.dwStrucVersion == VS_FFI_STRUCVERSION;
}

// Reads only the file's last 52 bytes.
std::optional<VS_FIXEDFILEINFO> ReadRecord(const char* path) {
  std::FILE* file = path == nullptr ? nullptr : OpenFile(path, "rb");
  if (file == nullptr) return std::nullopt;
  VS_FIXEDFILEINFO record{};
  const bool read = std::fseek(file, -static_cast<long>(sizeof record), SEEK_END) == 0 &&
                    std::fread(&record, sizeof record, 1, file) == 1;
  std::fclose(file);
  if (!read || !Valid(record)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return std::nullopt;
  }
  return record;
}

}  // namespace

VS_FIXEDFILEINFO MakeVersionRecord(WORD a, WORD b, WORD c, WORD d, DWORD fileType) {
  VS_FIXEDFILEINFO record{};
  record.dwSignature = VS_FFI_SIGNATURE;
  record.dwStrucVersion = VS_FFI_STRUCVERSION;
  record.dwFileVersionMS = record.dwProductVersionMS = static_cast<DWORD>(a) << 16 | b;
  record.dwFileVersionLS = record.dwProductVersionLS = static_cast<DWORD>(c) << 16 | d;
  record.dwFileFlagsMask = 0x3F;
  record.dwFileOS = VOS_NT_WINDOWS32;
  record.dwFileType = fileType;
  return record;
}

std::optional<VS_FIXEDFILEINFO> VersionRecordOf(const std::string& bytes) {
  VS_FIXEDFILEINFO record{};
  if (bytes.size() < sizeof record) return std::nullopt;
  std::memcpy(&record, bytes.data() + bytes.size() - sizeof record, sizeof record);
  if (!Valid(record)) return std::nullopt;
  return record;
}

DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) {
  if (handle != nullptr) *handle = 0;
  return ReadRecord(path) ? sizeof(VersionBlock) : 0;
}

BOOL GetFileVersionInfoA(const char* path, DWORD /*handle*/, DWORD size, void* data) {
  if (data == nullptr || size < sizeof(VersionBlock)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const std::optional<VS_FIXEDFILEINFO> record = ReadRecord(path);
  if (!record) return FALSE;
  VersionBlock block{};
  block.wLength = sizeof block;
  block.wValueLength = sizeof(VS_FIXEDFILEINFO);
  std::memcpy(block.szKey, kKey, sizeof kKey);
  block.value = *record;
  std::memcpy(data, &block, sizeof block);
  return TRUE;
}

BOOL VerQueryValueA(const void* data, const char* subBlock, void** buffer, UINT* length) {
  if (data == nullptr || subBlock == nullptr || std::strcmp(subBlock, "\\") != 0) return FALSE;
  VersionBlock block;
  std::memcpy(&block, data, sizeof block);
  if (block.wLength < sizeof block || block.wValueLength != sizeof(VS_FIXEDFILEINFO) ||
      std::memcmp(block.szKey, kKey, sizeof kKey) != 0 || !Valid(block.value)) {
    return FALSE;
  }
  if (buffer != nullptr) *buffer = static_cast<char*>(const_cast<void*>(data)) + offsetof(VersionBlock, value);
  if (length != nullptr) *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}

}  // namespace platform
