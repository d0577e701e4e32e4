#pragma once
// The registry's contents in memory and their REGEDIT4 text form.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/WinTypes.h"

namespace platform {

struct RegValue {
  std::string name;  // "" is the default value
  DWORD type = 0;
  std::vector<BYTE> data;
};

// A key holds its subkeys and values sorted by name without regard to case, so that
// lookups are binary searches and enumeration by index is direct.
struct RegKey {
  std::string name;
  std::vector<std::unique_ptr<RegKey>> subkeys;
  std::vector<RegValue> values;

  RegKey* FindSubkey(std::string_view name) const;
  // The subkey, created (with the case given) when missing; `created` tells which.
  RegKey& AddSubkey(std::string_view name, bool& created);
  bool RemoveSubkey(std::string_view name);
  const RegValue* FindValue(std::string_view name) const;
  void SetValue(std::string_view name, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(std::string_view name);
};

// The six predefined roots, in the order of their handles' low bits.
inline constexpr size_t kRootCount = 7;
struct HiveTree {
  std::array<RegKey, kRootCount> roots;
};

// The root's full name ("HKEY_LOCAL_MACHINE"), or "" for an index without a root.
std::string_view RootName(size_t root);
// The root index of a full or short name ("HKEY_LOCAL_MACHINE", "HKLM"; case ignored),
// or kRootCount when there is none.
size_t RootIndex(std::string_view name);

bool NamesEqual(std::string_view a, std::string_view b);

// REGEDIT4 text: "REGEDIT4", then one section per key ("[HKEY_...\\path]") with its
// values ("name"="text", @=..., dword:, hex:, hex(type):). Throws HiveError naming
// `fileName` and the line for anything it cannot read.
HiveTree ParseHive(std::string_view text, const std::string& fileName);
std::string FormatHive(const HiveTree& tree);
// One key and everything below it, as the tool's export prints it.
std::string FormatKeyTree(const RegKey& key, const std::string& path);

// The hive of a new machine: folder values and an empty SharedDLLs key.
HiveTree SeedHive();

}  // namespace platform
