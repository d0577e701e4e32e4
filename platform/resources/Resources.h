#pragma once
// Resources embedded in a program at build time: binary payloads found by type and name
// (the setup program's "INSTFILE" files) and a string table by id. The program installs
// its table once at start-up (the generated table of carvox_embed_resources and its
// strings); the calls then answer as Windows answers for the program's own module.

#include <cstddef>

#include "platform/machine/WinTypes.h"

namespace platform {

struct ResourceEntry {
  const char* type;
  const char* name;
  const unsigned char* data;
  size_t size;
};

struct StringEntry {
  UINT id;
  const char* text;
};

struct ResourceTable {
  const ResourceEntry* entries;
  size_t entryCount;
  const StringEntry* strings;
  size_t stringCount;
};

// Installs the program's table (not owned; null removes it).
void InstallResources(const ResourceTable* table);

using HRSRC = const ResourceEntry*;
using HGLOBAL = const ResourceEntry*;

inline constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
inline constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;

// Names and types are compared without regard to case, as Windows does. `module` is the
// program's own (any value: a program has one table). Null with
// ERROR_RESOURCE_NAME_NOT_FOUND when there is no such resource.
HRSRC FindResourceA(const void* module, const char* name, const char* type);
HGLOBAL LoadResource(const void* module, HRSRC resource);
const void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(const void* module, HRSRC resource);

// Copies the `size` bytes at `data`, which the program carries in its own file (a
// payload of its table), into the file `to` from its start. The kernel copies them from
// the program's file, so they pass neither through the process's memory nor its page
// faults. False where they do not lie in the program's file or the copy fails: the
// caller then writes them itself, from the file's start.
bool CopyFromProgramFile(const void* data, size_t size, int to);

// Copies string `id` into `buffer` (at most size - 1 characters and a NUL) and returns
// its length; 0, with an empty buffer, when there is no such string.
int LoadStringA(const void* module, UINT id, char* buffer, int size);

}  // namespace platform
