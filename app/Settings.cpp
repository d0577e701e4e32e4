#include "app/Settings.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/registry/Registry.h"

namespace {

using namespace platform;

const std::string kMountsKey = std::string(kSettingsKey) + "\\Mounted";

// An open settings key, closed when it goes.
class SettingsKey {
 public:
  // `create`: make the key when it is missing.
  explicit SettingsKey(bool create, const std::string& path = kSettingsKey) {
    const LONG result = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                               : RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
  }
  ~SettingsKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  // The value read by the size the registry returns, ended at its first NUL: a value
  // stored without one is never read past its data.
  std::optional<std::string> ReadString(const char* name) const {
    char buffer[kStringSettingBuffer];
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    if (key_ == nullptr ||
        RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return std::nullopt;
    }
    const std::string data(buffer, size);
    return data.substr(0, data.find('\0'));
  }

  std::optional<int> ReadDword(const char* name) const {
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (key_ == nullptr ||
        RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
      return std::nullopt;
    }
    return static_cast<int>(value);
  }

  void WriteString(const char* name, const std::string& value) const {
    if (key_ == nullptr) return;
    RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }

  void WriteDword(const char* name, int value) const {
    if (key_ == nullptr) return;
    const DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  }

  void DeleteValue(const char* name) const {
    if (key_ != nullptr) RegDeleteValueA(key_, name);
  }

  // The names of the key's values.
  std::vector<std::string> ValueNames() const {
    std::vector<std::string> names;
    char name[256];
    for (DWORD index = 0; key_ != nullptr; ++index) {
      DWORD length = sizeof name;
      if (RegEnumValueA(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return names;
  }

 private:
  HKEY key_ = nullptr;
};

void LoadString(const SettingsKey& key, const char* name, const std::string& fallback, std::string& member) {
  if (const std::optional<std::string> value = key.ReadString(name)) {
    member = *value;
  } else {
    member = fallback;
    key.WriteString(name, fallback);
  }
}

void LoadDword(const SettingsKey& key, const char* name, int& member) {
  if (const std::optional<int> value = key.ReadDword(name)) {
    member = *value;
  } else {
    member = 0;
    key.WriteDword(name, 0);
  }
}

}  // namespace

std::string DefaultSoundDriver(const std::vector<SoundDriverChoice>& drivers) {
  for (const SoundDriverChoice& driver : drivers) {
    if (driver.hasGuid) return driver.description;
  }
  return drivers.empty() ? std::string() : drivers.front().description;
}

CarvoxSettings LoadSettings(const std::vector<SoundDriverChoice>& drivers) {
  CarvoxSettings settings;
  const SettingsKey key(true);
  LoadString(key, "DSound_driver", DefaultSoundDriver(drivers), settings.m_dsoundDriver);
  LoadString(key, "Last_exportDir", "", settings.m_lastExportDir);
  LoadDword(key, "normalize_Export", settings.m_normalizeExport);
  LoadDword(key, "doubleclick_plays_loop", settings.m_doubleclickPlaysLoop);
  LoadString(key, "Window_geometry", "", settings.m_windowGeometry);
  LoadString(key, "Splitter_state", "", settings.m_splitterState);
  return settings;
}

void SaveChoices(const CarvoxSettings& settings) {
  const SettingsKey key(false);
  key.WriteString("DSound_driver", settings.m_dsoundDriver);
  key.WriteDword("normalize_Export", settings.m_normalizeExport);
  key.WriteDword("doubleclick_plays_loop", settings.m_doubleclickPlaysLoop);
}

void SaveWindowState(const CarvoxSettings& settings) {
  const SettingsKey key(false);
  key.WriteString("Last_exportDir", settings.m_lastExportDir);
  key.WriteString("Window_geometry", settings.m_windowGeometry);
  key.WriteString("Splitter_state", settings.m_splitterState);
}

void RecordMount(const MountRecord& mount) {
  const char name[2] = {mount.letter, '\0'};
  SettingsKey(true, kMountsKey).WriteString(name, std::to_string(mount.process) + " " + mount.image);
}

void ForgetMount(char letter) {
  const char name[2] = {letter, '\0'};
  SettingsKey(false, kMountsKey).DeleteValue(name);
}

std::vector<MountRecord> RecordedMounts() {
  std::vector<MountRecord> mounts;
  const SettingsKey key(false, kMountsKey);
  for (const std::string& name : key.ValueNames()) {
    const std::optional<std::string> value = key.ReadString(name.c_str());
    const size_t blank = value ? value->find(' ') : std::string::npos;
    if (name.size() != 1 || blank == std::string::npos) continue;
    mounts.push_back({name[0], std::strtol(value->c_str(), nullptr, 10), value->substr(blank + 1)});
  }
  return mounts;
}
