#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/registry/Hive.h"
#include "platform/registry/internal/HiveStore.h"

// An open key: a root and a path rather than a pointer into the tree, because the tree
// is read again whenever another program changes the hive.
struct platform::HKEY__ {
  size_t root;
  std::vector<std::string> path;
  platform::REGSAM access;
};

namespace platform {
namespace {

using Path = std::vector<std::string>;

std::mutex registryMutex;
std::set<HKEY> openKeys;

HiveStore& Store() {
  static HiveStore store;
  return store;
}

struct Target {
  size_t root;
  Path path;
  REGSAM access;
};

std::optional<Target> Resolve(HKEY key) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(key);
  if (value >= 0x80000000u && value < 0x80000000u + kRootCount && !RootName(value - 0x80000000u).empty()) {
    return Target{value - 0x80000000u, {}, KEY_ALL_ACCESS};
  }
  if (openKeys.count(key) == 0) return std::nullopt;
  return Target{key->root, key->path, key->access};
}

RegKey* Find(const HiveTree& tree, size_t root, const Path& path) {
  RegKey* key = const_cast<RegKey*>(&tree.roots[root]);
  for (const std::string& part : path) {
    key = key->FindSubkey(part);
    if (key == nullptr) break;
  }
  return key;
}

bool HasLineBreak(std::string_view name) { return name.find_first_of("\r\n") != std::string_view::npos; }

// Splits "a\\b\\c" into its names. A trailing backslash is ignored; a leading one or an
// empty name in between is refused, as Windows refuses them.
LONG SplitSubKey(const char* subKey, Path& parts) {
  parts.clear();
  std::string_view rest = subKey ? subKey : "";
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) return ERROR_SUCCESS;
  for (size_t start = 0;;) {
    const size_t end = rest.find('\\', start);
    const std::string_view part = rest.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxKeyNameLength || HasLineBreak(part)) return ERROR_INVALID_PARAMETER;
    parts.emplace_back(part);
    if (end == std::string_view::npos) return ERROR_SUCCESS;
    start = end + 1;
  }
}

Path Joined(Path base, const Path& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

HKEY NewHandle(size_t root, Path path, REGSAM access) {
  HKEY handle = new HKEY__{root, std::move(path), access};
  openKeys.insert(handle);
  return handle;
}

// Copies `size` bytes when `buffer` can take them; the rules of RegQueryValueExA.
LONG CopyData(const std::vector<BYTE>& data, BYTE* buffer, DWORD* size) {
  if (buffer != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (size == nullptr) return ERROR_SUCCESS;
  const bool fits = data.size() <= *size;
  *size = static_cast<DWORD>(data.size());
  if (buffer == nullptr) return ERROR_SUCCESS;
  if (!fits) return ERROR_MORE_DATA;
  std::copy(data.begin(), data.end(), buffer);
  return ERROR_SUCCESS;
}

// Copies a name with its NUL when the buffer of `*size` characters can take it.
LONG CopyName(const std::string& name, char* buffer, DWORD* size) {
  if (buffer == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *size) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Runs `read` on the key behind `key` in the current tree, after the access check.
// The target of an open handle that grants `needed`; the error otherwise.
LONG Authorize(HKEY key, REGSAM needed, std::optional<Target>& target) {
  target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  return (target->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

template <class Read>
LONG ReadKey(HKEY key, REGSAM needed, Read read) {
  std::lock_guard lock(registryMutex);
  std::optional<Target> target;
  if (const LONG error = Authorize(key, needed, target); error != ERROR_SUCCESS) return error;
  const RegKey* found = Find(Store().Current(), target->root, target->path);
  return found ? read(*found) : ERROR_KEY_DELETED;
}

// Runs `change` on the key behind `key` under the hive's lock; saves when it changed.
template <class Change>
LONG ChangeKey(HKEY key, REGSAM needed, Change change) {
  std::lock_guard lock(registryMutex);
  std::optional<Target> target;
  if (const LONG error = Authorize(key, needed, target); error != ERROR_SUCCESS) return error;
  return Store().Change([&](HiveTree& tree, bool& changed) {
    RegKey* found = Find(tree, target->root, target->path);
    return found ? change(*found, changed) : ERROR_KEY_DELETED;
  });
}

LONG CheckValueName(const char* name) {
  const std::string_view text = name ? name : "";
  return text.size() > kMaxValueNameLength || HasLineBreak(text) ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD /*reserved*/, char* /*keyClass*/,
                     DWORD /*options*/, REGSAM access, const void* /*securityAttributes*/,
                     HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  Path parts;
  if (const LONG error = SplitSubKey(subKey, parts); error != ERROR_SUCCESS) return error;
  std::optional<Target> target;
  {
    std::lock_guard lock(registryMutex);
    target = Resolve(key);
  }
  if (!target) return ERROR_INVALID_HANDLE;
  if (target->path.size() + parts.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  bool leafCreated = false;
  const LONG error = ChangeKey(key, 0, [&](RegKey& start, bool& changed) {
    RegKey* current = &start;
    for (const std::string& part : parts) {
      current = &current->AddSubkey(part, leafCreated);
      changed = changed || leafCreated;
    }
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) return error;
  if (disposition) *disposition = leafCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  std::lock_guard lock(registryMutex);
  *result = NewHandle(target->root, Joined(target->path, parts), access);
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM access, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  Path parts;
  if (const LONG error = SplitSubKey(subKey, parts); error != ERROR_SUCCESS) return error;
  std::lock_guard lock(registryMutex);
  const std::optional<Target> target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  Path path = Joined(target->path, parts);
  if (Find(Store().Current(), target->root, path) == nullptr) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(target->root, std::move(path), access);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard lock(registryMutex);
  const std::optional<Target> target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  if (openKeys.erase(key) != 0) delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* size) {
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegKey& found) {
    const RegValue* value = found.FindValue(name ? name : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    return CopyData(value->data, data, size);
  });
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD size) {
  if (const LONG error = CheckValueName(name); error != ERROR_SUCCESS) return error;
  if ((data == nullptr && size != 0) || size > kMaxValueSize) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(data, data + size);
  return ChangeKey(key, KEY_SET_VALUE, [&](RegKey& found, bool& changed) {
    const RegValue* old = found.FindValue(name ? name : "");
    changed = old == nullptr || old->type != type || old->data != bytes;
    if (changed) found.SetValue(name ? name : "", type, std::move(bytes));
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  return ChangeKey(key, KEY_SET_VALUE, [&](RegKey& found, bool& changed) {
    changed = found.RemoveValue(name ? name : "");
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  Path parts;
  if (const LONG error = SplitSubKey(subKey, parts); error != ERROR_SUCCESS) return error;
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // a key does not delete itself here
  const std::string leaf = parts.back();
  parts.pop_back();
  return ChangeKey(key, 0, [&](RegKey& start, bool& changed) {
    RegKey* parent = &start;
    for (const std::string& part : parts) {
      parent = parent->FindSubkey(part);
      if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
    }
    const RegKey* child = parent->FindSubkey(leaf);
    if (child == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!child->subkeys.empty()) return ERROR_ACCESS_DENIED;
    changed = parent->RemoveSubkey(leaf);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/,
                   char* keyClass, DWORD* classSize, FILETIME* lastWriteTime) {
  return ReadKey(key, KEY_ENUMERATE_SUB_KEYS, [&](const RegKey& found) {
    if (index >= found.subkeys.size()) return ERROR_NO_MORE_ITEMS;
    if (keyClass && classSize && *classSize > 0) keyClass[0] = '\0';
    if (classSize) *classSize = 0;
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
    return CopyName(found.subkeys[index]->name, name, nameSize);
  });
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/,
                   DWORD* type, BYTE* data, DWORD* dataSize) {
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegKey& found) {
    if (index >= found.values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = found.values[index];
    if (const LONG error = CopyName(value.name, name, nameSize); error != ERROR_SUCCESS) return error;
    if (type) *type = value.type;
    return CopyData(value.data, data, dataSize);
  });
}

LONG RegExportText(HKEY key, const char* subKey, std::string& text) {
  Path parts;
  if (const LONG error = SplitSubKey(subKey, parts); error != ERROR_SUCCESS) return error;
  std::lock_guard lock(registryMutex);
  if (key == nullptr) {
    text = FormatHive(Store().Current());
    return ERROR_SUCCESS;
  }
  const std::optional<Target> target = Resolve(key);
  if (!target) return ERROR_INVALID_HANDLE;
  const Path path = Joined(target->path, parts);
  const RegKey* found = Find(Store().Current(), target->root, path);
  if (found == nullptr) return ERROR_FILE_NOT_FOUND;
  std::string name(RootName(target->root));
  for (const std::string& part : path) name += '\\' + part;
  text = FormatKeyTree(*found, name);
  return ERROR_SUCCESS;
}

}  // namespace platform
