#include "platform/library/Library.h"

#include <dlfcn.h>
#include <link.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/program/ProgramFolders.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

// The modules this process loaded through LoadLibraryA, with their reference counts,
// so that a stale or foreign handle is refused instead of reaching the loader.
class ModuleTable {
 public:
  HMODULE Add(void* handle) {
    std::lock_guard lock(mutex_);
    ++counts_[handle];
    return static_cast<HMODULE>(handle);
  }
  bool Contains(HMODULE module) {
    std::lock_guard lock(mutex_);
    return counts_.contains(module);
  }
  // Drops one reference; the loader unloads the library with the last one.
  bool Release(HMODULE module) {
    std::lock_guard lock(mutex_);
    const auto entry = counts_.find(module);
    if (entry == counts_.end()) return false;
    ::dlclose(module);
    if (--entry->second == 0) counts_.erase(entry);
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<void*, int> counts_;
};

// Never destroyed: process-wide objects that hold a library (the SoundFont engine's
// builder) free it while statics are destroyed, after a table of their own would be gone.
ModuleTable& Modules() {
  static ModuleTable& table = *new ModuleTable;
  return table;
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsPath(const std::string& name) {
  return name.find_first_of("/\\:") != std::string::npos;
}

// The file names a bare library name may have on disk, in the order they are tried.
std::vector<std::string> CandidateNames(std::string name) {
  // A trailing dot says "this name has no extension; add none", as on Windows.
  const bool extensionWanted = name.back() != '.';
  if (!extensionWanted) name.pop_back();
  std::vector<std::string> names{name};
  const fs::path asPath(name);
  if (extensionWanted && !asPath.has_extension()) names.push_back(name + ".dll");
  names.push_back("lib" + LowerCase(asPath.stem().string()) + ".so");
  return names;
}

// The folders searched for a bare name, as Windows paths of the machine, so that file
// names are matched without regard to case the one way the machine does it.
std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders;
  try {
    for (const fs::path& folder : ProgramLibraryFolders()) folders.push_back(ToWindowsPath(folder));
  } catch (const std::exception&) {
    // The machine cannot be set up: its folders cannot be searched either.
  }
  folders.push_back(kSystemFolder);
  return folders;
}

// The host file a Windows path names; nullopt when the machine refuses the path.
std::optional<fs::path> MachineFile(const std::string& windowsPath) {
  try {
    return ToHostPath(windowsPath);
  } catch (const std::exception&) {
    return std::nullopt;  // a name the machine refuses, or no machine at all
  }
}

// Tries candidate files in turn and remembers whether any existed, which decides the
// error a failed load reports.
class Loader {
 public:
  HMODULE Try(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return nullptr;
    foundFile_ = true;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? Modules().Add(handle) : nullptr;
  }

  HMODULE Fail() const {
    SetLastError(foundFile_ ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }

 private:
  bool foundFile_ = false;
};

HMODULE LoadByPath(const std::string& name) {
  Loader loader;
  const std::optional<fs::path> file =
      name.front() == '/' ? std::optional<fs::path>(name) : MachineFile(name);
  if (file) {
    if (HMODULE module = loader.Try(*file)) return module;
  }
  return loader.Fail();
}

HMODULE LoadByName(const std::string& name) {
  Loader loader;
  const std::vector<std::string> names = CandidateNames(name);
  for (const std::string& folder : SearchFolders()) {
    for (const std::string& candidate : names) {
      const std::optional<fs::path> file = MachineFile(folder + "\\" + candidate);
      if (!file) continue;
      // A file that is not a loadable library for this host (a Windows DLL, say)
      // does not hide a later candidate that is.
      if (HMODULE module = loader.Try(*file)) return module;
    }
  }
  return loader.Fail();
}

// Whether `address` lies in `module` itself rather than in a library it depends on:
// GetProcAddress answers for the module's own exports only.
bool DefinedIn(HMODULE module, void* address) {
  link_map* moduleMap = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &moduleMap) != 0) return false;
  Dl_info info{};
  link_map* addressMap = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&addressMap), RTLD_DL_LINKMAP) == 0)
    return false;
  return addressMap == moduleMap;
}

}  // namespace

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr || *name == '\0' || std::string_view(name) == ".") {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::string text(name);
  return IsPath(text) ? LoadByPath(text) : LoadByName(text);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (module == nullptr || !Modules().Contains(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Windows passes an ordinal as a "name" below 0x10000; there are no ordinals here.
  if (reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* address = ::dlsym(module, name);
  if (address == nullptr || !DefinedIn(module, address)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return address;
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || !Modules().Release(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace platform
