#include "export/ExportNames.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool SafeCharacter(unsigned char c) {
  return std::isalnum(c) || c == ' ' || std::string_view("#+-._()").find(static_cast<char>(c)) != std::string::npos;
}

std::string SafeFolderName(const std::string& name) {
  std::string safe = name;
  std::replace_if(safe.begin(), safe.end(), [](char c) { return !SafeCharacter(static_cast<unsigned char>(c)); }, '_');
  if (safe.empty() || safe.front() == '.') safe.insert(safe.begin(), '_');
  return safe;
}

}  // namespace

std::string ExportBaseName(const std::string& itemName) {
  const size_t end = itemName.find_last_not_of(' ');
  return Lower(end == std::string::npos ? std::string() : itemName.substr(0, end + 1));
}

std::string PartitionFolderName(int index) {
  return index < 26 ? std::string(1, static_cast<char>('A' + index)) : std::to_string(index);
}

std::vector<std::string> VolumeFolderNames(const std::vector<std::string>& volumeNames) {
  std::vector<std::string> folders;
  std::set<std::string> taken;  // lower case
  for (const std::string& name : volumeNames) {
    const std::string base = SafeFolderName(name);
    std::string folder = base;
    for (int n = 2; taken.count(Lower(folder)) != 0; ++n) folder = base + " (" + std::to_string(n) + ")";
    taken.insert(Lower(folder));
    folders.push_back(folder);
  }
  return folders;
}
