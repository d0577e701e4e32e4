#pragma once
// What one installation could have created, against which the uninstaller checks every
// line of the install log before it acts on it. The log lies in a folder the user can
// write, so a damaged or hostile log must not reach anything else: another program's
// files or keys, the Windows folder's own files, or the host's files through drive Z:.

#include <string>
#include <utility>
#include <vector>

namespace uninstaller {

class InstalledPlaces {
 public:
  // The places of the product installed on this machine: the application folder as its
  // App Paths entry registers it (none without the entry), the Start-menu folder, the
  // shared folder and the system folders; the keys the installer creates.
  static InstalledPlaces OfThisMachine();

  InstalledPlaces(std::vector<std::string> folders, std::vector<std::string> keys)
      : folders_(std::move(folders)), keys_(std::move(keys)) {}

  // A file with a bare name (no separator, not "." or "..") right inside one of the
  // folders.
  bool HoldsFile(const std::string& directory, const std::string& name) const;
  // One of the folders, a folder below one, or a parent folder on the path of one
  // (never a drive's root).
  bool HoldsFolder(const std::string& path) const;
  // One of the keys under HKEY_LOCAL_MACHINE, written exactly.
  bool HoldsKey(const std::string& root, const std::string& subkey) const;

 private:
  std::vector<std::string> folders_;
  std::vector<std::string> keys_;
};

}  // namespace uninstaller
