#include "platform/aspi/internal/RegistryKey.h"

namespace aspi {

using namespace platform;

RegistryKey::RegistryKey(const std::string& path, bool create) {
  if (create) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                    &key_, nullptr);
  } else {
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key_);
  }
}

RegistryKey::~RegistryKey() {
  if (key_ != nullptr) RegCloseKey(key_);
}

std::vector<std::string> RegistryKey::SubkeyNames() const {
  std::vector<std::string> names;
  char name[kMaxKeyNameLength + 1];
  for (DWORD index = 0; key_ != nullptr; ++index) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

std::vector<std::string> RegistryKey::ValueNames() const {
  std::vector<std::string> names;
  char name[1024];
  for (DWORD index = 0; key_ != nullptr; ++index) {
    DWORD size = sizeof name;
    const LONG result = RegEnumValueA(key_, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;  // too long to be one of ours
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

std::optional<std::vector<BYTE>> RegistryKey::Bytes(const char* name) const {
  DWORD size = 0;
  if (key_ == nullptr || RegQueryValueExA(key_, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> data(size);
  if (RegQueryValueExA(key_, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return data;
}

std::optional<std::string> RegistryKey::String(const char* name) const {
  DWORD type = 0;
  if (key_ == nullptr || RegQueryValueExA(key_, name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  std::optional<std::vector<BYTE>> data = Bytes(name);
  if (!data) return std::nullopt;
  std::string text(data->begin(), data->end());
  // The stored size counts the NUL; garbage may hold more than one.
  return text.substr(0, text.find('\0'));
}

std::optional<DWORD> RegistryKey::Dword(const char* name) const {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (key_ == nullptr ||
      RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return std::nullopt;
  }
  return value;
}

void RegistryKey::SetIfChanged(const char* name, DWORD type, const std::vector<BYTE>& data) const {
  DWORD oldType = 0;
  if (key_ == nullptr) return;
  if (RegQueryValueExA(key_, name, nullptr, &oldType, nullptr, nullptr) == ERROR_SUCCESS && oldType == type &&
      Bytes(name) == data) {
    return;
  }
  RegSetValueExA(key_, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

void RegistryKey::SetStringIfChanged(const char* name, const std::string& text) const {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetIfChanged(name, REG_SZ, data);
}

void RegistryKey::SetDwordIfChanged(const char* name, DWORD value) const {
  const auto* bytes = reinterpret_cast<const BYTE*>(&value);
  SetIfChanged(name, REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof value));
}

void DeleteKeyTree(const std::string& path) {
  {
    const RegistryKey key(path, false);
    if (!key.ok()) return;
    for (const std::string& child : key.SubkeyNames()) DeleteKeyTree(path + "\\" + child);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

}  // namespace aspi
