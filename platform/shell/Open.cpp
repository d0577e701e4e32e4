// Opening a document with the desktop's opener.
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/machine/FileServices.h"
#include "platform/machine/Machine.h"
#include "platform/shell/Shell.h"

extern char** environ;

namespace platform {
namespace {

std::atomic<bool> unattended{false};

bool HasDisplay() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

// The opener runs in the background: a shell starts it and ends at once, so the
// program neither waits for the document's window nor leaves a child unreaped.
bool StartOpener(const std::string& hostPath) {
  const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", hostPath.c_str(), nullptr};
  pid_t shell = 0;
  if (::posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  return ::waitpid(shell, &status, 0) == shell && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void SetShellUnattended(bool value) { unattended = value; }

intptr_t ShellExecuteA(void* /*window*/, const char* verb, const char* file, const char* /*parameters*/,
                       const char* /*directory*/, int /*show*/) {
  if (verb != nullptr && ::strcasecmp(verb, "open") != 0) return SE_ERR_NOASSOC;
  if (file == nullptr || !PathExists(file)) return SE_ERR_FNF;
  const std::string host = ToHostPath(file).string();
  if (unattended || !HasDisplay()) {
    std::printf("Open: %s\n", host.c_str());
    std::fflush(stdout);
    return 33;
  }
  return StartOpener(host) ? 33 : SE_ERR_NOASSOC;
}

}  // namespace platform
