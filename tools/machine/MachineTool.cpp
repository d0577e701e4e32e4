#include "tools/machine/MachineTool.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"

extern char** environ;

namespace machinetool {

const char* const kUsage =
    "usage: carvox-machine reboot | programs | uninstall NAME\n"
    "  reboot          restart the machine: finish the file replacements left for the next start\n"
    "  programs        list the programs installed in the machine\n"
    "  uninstall NAME  run the uninstaller registered for NAME\n";

namespace {

using namespace platform;

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::optional<std::string> StringValue(HKEY key, const char* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  std::string value(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(std::min<size_t>(size, value.find('\0')));
  return value;
}

int Reboot(std::ostream& out, std::ostream& err) {
  if (!ExitWindowsEx(EWX_REBOOT, 0)) {
    err << "carvox-machine: C:\\WINDOWS\\wininit.ini could not be rewritten\n";
    return 1;
  }
  out << "The machine has restarted.\n";
  return 0;
}

int Programs(std::ostream& out) {
  HKEY uninstall = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS) return 0;
  char name[kMaxKeyNameLength + 1];
  DWORD size = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof name) {
    HKEY program = nullptr;
    if (RegOpenKeyExA(uninstall, name, 0, KEY_READ, &program) != ERROR_SUCCESS) continue;
    out << name << "\t" << StringValue(program, "DisplayName").value_or("") << "\t"
        << StringValue(program, "UninstallString").value_or("") << "\n";
    RegCloseKey(program);
  }
  RegCloseKey(uninstall);
  return 0;
}

// Starts the machine's program and waits for it.
int Start(const Command& command, std::ostream& err) {
  std::string host;
  try {
    host = ToHostPath(command.program).string();
  } catch (const PathError&) {
    err << "carvox-machine: not a path of the machine: " << command.program << "\n";
    return 1;
  }
  std::vector<char*> argv{host.data()};
  std::string argument = command.argument;
  if (!argument.empty()) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int error = ::posix_spawn(&child, host.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) {
    err << "carvox-machine: cannot start " << command.program << ": " << std::strerror(error) << "\n";
    return 1;
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
  return WEXITSTATUS(status);
}

int Uninstall(const std::string& name, std::ostream& err) {
  HKEY program = nullptr;
  const std::string key = std::string(kUninstallKey) + "\\" + name;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &program) != ERROR_SUCCESS) {
    err << "carvox-machine: no program named " << name << " is installed\n";
    return 1;
  }
  const std::optional<std::string> command = StringValue(program, "UninstallString");
  RegCloseKey(program);
  if (!command || command->empty()) {
    err << "carvox-machine: " << name << " has no uninstall command\n";
    return 1;
  }
  return Start(SplitCommand(*command), err);
}

}  // namespace

Command SplitCommand(const std::string& commandLine) {
  std::string lower = commandLine;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const size_t end = lower.find(".exe ");
  if (end == std::string::npos) return {commandLine, ""};
  return {commandLine.substr(0, end + 4), commandLine.substr(end + 5)};
}

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && arguments[0] == "reboot") return Reboot(out, err);
  if (arguments.size() == 1 && arguments[0] == "programs") return Programs(out);
  if (arguments.size() == 2 && arguments[0] == "uninstall") return Uninstall(arguments[1], err);
  err << kUsage;
  return 2;
}

}  // namespace machinetool
