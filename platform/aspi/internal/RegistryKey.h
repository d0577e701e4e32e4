#pragma once
// A registry key closed when it goes out of scope, and the value reads and writes the
// drive table and the letter publishing share. Private to platform/aspi.

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"

namespace aspi {

class RegistryKey {
 public:
  // Opens (or, with `create`, creates) `path` below HKEY_LOCAL_MACHINE; check ok().
  RegistryKey(const std::string& path, bool create);
  RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey();

  bool ok() const { return key_ != nullptr; }
  platform::HKEY get() const { return key_; }

  std::vector<std::string> SubkeyNames() const;
  std::vector<std::string> ValueNames() const;
  std::optional<std::string> String(const char* name) const;
  std::optional<platform::DWORD> Dword(const char* name) const;
  std::optional<std::vector<platform::BYTE>> Bytes(const char* name) const;

  // Each write costs the hive a sync, so a value that already holds the data is left.
  void SetIfChanged(const char* name, platform::DWORD type, const std::vector<platform::BYTE>& data) const;
  void SetStringIfChanged(const char* name, const std::string& text) const;
  void SetDwordIfChanged(const char* name, platform::DWORD value) const;

 private:
  platform::HKEY key_ = nullptr;
};

// Deletes `path` below HKEY_LOCAL_MACHINE with its subkeys.
void DeleteKeyTree(const std::string& path);

}  // namespace aspi
