// The installer's context: directories, product names and the staging folder.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "installer/internal/Steps.h"
#include "platform/machine/FileServices.h"
#include "platform/machine/Machine.h"
#include "platform/registry/SystemInfo.h"
#include "platform/resources/Resources.h"

namespace installer {
namespace {

using namespace platform;

constexpr const char* kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

std::string LoadString(UINT id) {
  char buffer[2048];
  LoadStringA(nullptr, id, buffer, sizeof buffer);
  return buffer;
}

std::string ProgramsFolder(const std::string& windowsDir) {
  std::string folder;
  if (QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Common Programs", folder) ||
      QueryString(HKEY_USERS, ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Programs", folder)) {
    return folder;
  }
  return windowsDir + "\\Start Menu";
}

std::string WithoutTrailingBackslash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// TMP (the host folder in its Z: form), the Windows directory's Temp, the drive root.
std::string StagingBase(const std::string& windowsDir) {
  char temp[MAX_PATH];
  if (std::getenv("TMP") != nullptr && GetTempPathA(sizeof temp, temp) != 0 &&
      PathExists(WithoutTrailingBackslash(temp))) {
    return temp;
  }
  if (PathExists(windowsDir + "\\Temp")) return windowsDir + "\\Temp";
  return "C:\\";
}

// The first "_ins<n>" that does not exist and can be created; another installer that
// takes a name between the test and the creation only moves this one to the next.
std::string CreateStagingDirectory(const std::string& base) {
  const std::string prefix = base + (base.ends_with('\\') ? "" : "\\") + "_ins";
  for (int number = 0; number < 32767; ++number) {
    const std::string candidate = prefix + std::to_string(number);
    if (!PathExists(candidate) && CreateDirectoryA(candidate.c_str())) return candidate;
  }
  return {};
}

}  // namespace

bool QueryString(HKEY root, const char* subkey, const char* name, std::string& value, size_t limit) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  std::string buffer(limit, '\0');
  DWORD size = static_cast<DWORD>(limit - 1);
  DWORD type = 0;
  const bool read = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
                    ERROR_SUCCESS;
  RegCloseKey(key);
  if (read) value = buffer.c_str();
  return read;
}

InstallerContext::~InstallerContext() {
  if (!tempDir.empty()) RemoveDirectoryA(tempDir.c_str());
}

void ReadMachineFolders(InstallerContext& context) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  context.isNT = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  char folder[MAX_PATH];
  GetWindowsDirectoryA(folder, sizeof folder);
  context.windowsDir = folder;
  GetSystemDirectoryA(folder, sizeof folder);
  context.systemDir = folder;
  context.system16Dir = context.isNT ? context.windowsDir + "\\system" : context.systemDir;
  context.driverDir = context.isNT ? context.systemDir + "\\drivers" : context.systemDir;
  if (!QueryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", context.programFilesDir)) {
    context.programFilesDir = "c:\\Program Files";
  }
  if (!QueryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CommonFilesDir", context.commonFilesDir)) {
    context.commonFilesDir = "c:\\Program Files\\Shared Files";
  }
  context.programsFolder = ProgramsFolder(context.windowsDir);
  context.sharedDir = context.commonFilesDir + "\\" + kCompanyName;
}

void InitContext(InstallerContext& context) {
  if (context.initialised) return;
  ReadMachineFolders(context);
  context.productName = LoadString(50000);
  context.mainProgramName = LoadString(50001);
  context.appDir = context.programFilesDir + "\\" + kCompanyName + "\\" + context.productName;
  context.tempDir = CreateStagingDirectory(StagingBase(context.windowsDir));
  context.initialised = true;
}

std::string ResolveDestination(const InstallerContext& context, const std::string& destination) {
  const std::pair<const char*, const std::string*> placeholders[] = {
      {"<appdir>", &context.appDir},       {"<sysdir>", &context.systemDir},
      {"<sysdir32>", &context.systemDir},  {"<sysdir16>", &context.system16Dir},
      {"<driver_dir>", &context.driverDir}, {"<windir>", &context.windowsDir},
      {"<shareddir>", &context.sharedDir},
  };
  for (const auto& [placeholder, directory] : placeholders) {
    const size_t at = destination.find(placeholder);
    if (at == std::string::npos) continue;
    std::string result = destination;
    return result.replace(at, std::string(placeholder).size(), *directory);
  }
  return destination;
}

std::string AcceptDirectory(const std::string& typed, std::string& reason) {
  std::string directory = typed;
  while (!directory.empty() && std::isspace(static_cast<unsigned char>(directory.back()))) directory.pop_back();
  if (directory.starts_with('/')) directory = ToWindowsPath(std::filesystem::path(directory).lexically_normal());
  std::replace(directory.begin(), directory.end(), '/', '\\');
  const bool absolute = directory.size() >= 3 && std::isalpha(static_cast<unsigned char>(directory[0])) &&
                        directory[1] == ':' && directory[2] == '\\';
  if (directory.empty()) reason = "Please enter a directory.";
  else if (!absolute) reason = "Please enter a full path, such as C:\\Program Files\\Korvell\\Carvox.";
  else if (directory.find(',') != std::string::npos) reason = "The directory may not contain a comma.";
  else {
    try {
      ToHostPath(directory);
    } catch (const PathError&) {
      reason = "This directory cannot be used.";
      return {};
    }
    return WithoutTrailingBackslash(directory);
  }
  return {};
}

}  // namespace installer
