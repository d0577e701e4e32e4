#include "uninstaller/InstalledPlaces.h"

#include <strings.h>

#include <algorithm>
#include <optional>

#include "installer/Places.h"

namespace uninstaller {
namespace {

// Longer than any folder the setup program accepts.
constexpr size_t kMaxFolderValue = 1024;

bool SameText(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

// A name that stays where it is put: not empty, not "." or "..", without a separator
// (the machine takes "/" as one too) or a drive's colon.
bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

// Whether `path` is `folder` followed by "\\" and bare names only.
bool IsBelow(const std::string& path, const std::string& folder) {
  if (path.size() <= folder.size() + 1 || path[folder.size()] != '\\' ||
      !SameText(path.substr(0, folder.size()), folder)) {
    return false;
  }
  for (size_t from = folder.size() + 1;;) {
    const size_t end = path.find('\\', from);
    if (!IsBareName(path.substr(from, end == std::string::npos ? std::string::npos : end - from))) return false;
    if (end == std::string::npos) return true;
    from = end + 1;
  }
}

std::optional<std::string> RegisteredAppFolder() {
  std::string folder;
  if (!installer::QueryString(platform::HKEY_LOCAL_MACHINE, installer::AppPathsKey(installer::kMainProgramName).c_str(),
                              "Path", folder, kMaxFolderValue) ||
      folder.empty()) {
    return std::nullopt;
  }
  return folder;
}

}  // namespace

InstalledPlaces InstalledPlaces::OfThisMachine() {
  installer::InstallerContext context;
  installer::ReadMachineFolders(context);
  std::vector<std::string> folders{installer::ShortcutFolder(context), context.sharedDir, context.systemDir,
                                   context.system16Dir, context.driverDir};
  if (const std::optional<std::string> appFolder = RegisteredAppFolder()) folders.push_back(*appFolder);
  return InstalledPlaces(std::move(folders),
                         {installer::UninstallEntryKey(installer::kProductName),
                          installer::CompanyKey(installer::kProductName),
                          installer::AppPathsKey(installer::kMainProgramName), installer::kAspiKey,
                          installer::kAspiParametersKey});
}

bool InstalledPlaces::HoldsFile(const std::string& directory, const std::string& name) const {
  return IsBareName(name) && std::any_of(folders_.begin(), folders_.end(), [&](const std::string& folder) {
           return SameText(directory, folder);
         });
}

bool InstalledPlaces::HoldsFolder(const std::string& path) const {
  // A drive's root ("C:" or "C:\\") is never one of them.
  if (path.size() <= 3) return false;
  return std::any_of(folders_.begin(), folders_.end(), [&](const std::string& folder) {
    return SameText(path, folder) || IsBelow(path, folder) || IsBelow(folder, path);
  });
}

bool InstalledPlaces::HoldsKey(const std::string& root, const std::string& subkey) const {
  return root == installer::kRootName &&
         std::any_of(keys_.begin(), keys_.end(), [&](const std::string& key) { return SameText(subkey, key); });
}

}  // namespace uninstaller
