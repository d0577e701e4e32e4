#include "platform/resources/Resources.h"

#include <strings.h>

#include <atomic>
#include <algorithm>
#include <cstring>

namespace platform {
namespace {

std::atomic<const ResourceTable*> installed{nullptr};

}  // namespace

void InstallResources(const ResourceTable* table) { installed = table; }

HRSRC FindResourceA(const void* /*module*/, const char* name, const char* type) {
  const ResourceTable* table = installed;
  if (table != nullptr && name != nullptr && type != nullptr) {
    for (size_t i = 0; i < table->entryCount; ++i) {
      const ResourceEntry& entry = table->entries[i];
      if (::strcasecmp(entry.name, name) == 0 && ::strcasecmp(entry.type, type) == 0) return &entry;
    }
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(const void* /*module*/, HRSRC resource) {
  if (resource == nullptr) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return resource;
}

const void* LockResource(HGLOBAL loaded) { return loaded == nullptr ? nullptr : loaded->data; }

DWORD SizeofResource(const void* /*module*/, HRSRC resource) {
  return resource == nullptr ? 0 : static_cast<DWORD>(resource->size);
}

int LoadStringA(const void* /*module*/, UINT id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  const ResourceTable* table = installed;
  if (table == nullptr) return 0;
  for (size_t i = 0; i < table->stringCount; ++i) {
    if (table->strings[i].id != id) continue;
    const size_t length = std::min(std::strlen(table->strings[i].text), static_cast<size_t>(size - 1));
    std::memcpy(buffer, table->strings[i].text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  return 0;
}

}  // namespace platform
