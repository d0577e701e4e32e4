// Windows paths to host paths and back.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>
#include <vector>

#include "platform/machine/Machine.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }

fs::path DriveRoot(char letter, std::string_view path) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'C': return MachineRoot() / "drive_c";
    case 'Z': return "/";
    default: throw PathError("no drive " + std::string(1, letter) + ": for " + Quoted(path));
  }
}

void CheckComponent(std::string_view component, std::string_view path) {
  for (const char c : component) {
    if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      throw PathError("a name in " + Quoted(path) + " holds a character Windows does not allow");
    }
  }
}

// The components below the drive root, with "." and empty ones dropped and ".."
// applied; refuses a ".." that would climb above the root.
std::vector<std::string> SplitComponents(std::string_view rest, std::string_view path) {
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view component = rest.substr(start, end - start);
    if (component == "..") {
      if (components.empty()) throw PathError(Quoted(path) + " leaves its drive");
      components.pop_back();
    } else if (!component.empty() && component != ".") {
      CheckComponent(component, path);
      components.emplace_back(component);
    }
    start = end + 1;
  }
  return components;
}

// The entry of `folder` that names `component`: the exact name if it exists, else the
// first (in byte order) that matches without regard to case, else the name as given.
std::string MatchEntry(const fs::path& folder, const std::string& component) {
  struct stat info {};
  if (::lstat((folder / component).c_str(), &info) == 0) return component;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return component;
  std::string best;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (::strcasecmp(entry->d_name, component.c_str()) == 0 && (best.empty() || best > entry->d_name)) {
      best = entry->d_name;
    }
  }
  return best.empty() ? component : best;
}

}  // namespace

fs::path ToHostPath(std::string_view windowsPath) {
  if (windowsPath.size() < 3 || !std::isalpha(static_cast<unsigned char>(windowsPath[0])) ||
      windowsPath[1] != ':' || !IsSeparator(windowsPath[2])) {
    throw PathError(Quoted(windowsPath) + " is not an absolute Windows path");
  }
  fs::path host = DriveRoot(windowsPath[0], windowsPath);
  for (const std::string& component : SplitComponents(windowsPath.substr(3), windowsPath)) {
    host /= MatchEntry(host, component);
  }
  return host;
}

namespace {

// `path` below `base` as "a\\b" in `out`; false when it is not below it.
bool RelativeBelow(const fs::path& path, const fs::path& base, std::string& out) {
  const fs::path relative = path.lexically_relative(base);
  if (relative.empty() || *relative.begin() == "..") return false;
  out.clear();
  for (const fs::path& part : relative) {
    if (part.empty() || part == ".") continue;
    if (!out.empty()) out += '\\';
    out += part.string();
  }
  return true;
}

}  // namespace

std::string ToWindowsPath(const fs::path& hostPath) {
  const fs::path host = fs::absolute(hostPath).lexically_normal();
  const fs::path driveC = (MachineRoot() / "drive_c").lexically_normal();
  std::string relative;
  std::error_code error;
  if (RelativeBelow(host, driveC, relative) ||
      RelativeBelow(fs::weakly_canonical(host, error), fs::weakly_canonical(driveC, error), relative)) {
    return "C:\\" + relative;
  }
  RelativeBelow(host, "/", relative);
  return "Z:\\" + relative;
}

}  // namespace platform
