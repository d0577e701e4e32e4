#pragma once
// carvox-machine: acts on the machine as a whole.
//   reboot            restart: finish the file replacements left for the next start
//   programs          the installed programs (the registry's Uninstall keys)
//   uninstall NAME    run the uninstall command registered for NAME

#include <ostream>
#include <string>
#include <vector>

namespace machinetool {

// The command lines carvox-machine takes, as `--help` and a wrong command line show them.
extern const char* const kUsage;

// A registered command split as Windows starts it: the program up to the first ".exe "
// (case ignored) and the rest as one argument; without ".exe " the whole text is the
// program.
struct Command {
  std::string program;
  std::string argument;
};
Command SplitCommand(const std::string& commandLine);

// Returns the exit status: 0 done, 1 failed (or the uninstaller's own status), 2 a
// command line that cannot be understood.
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace machinetool
