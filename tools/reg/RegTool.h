#pragma once
// carvox-reg: a look inside the machine's registry, shaped like reg.exe.
//   query KEY [/v NAME | /ve]
//   add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   delete KEY [/v NAME | /ve] [/f]
//   export [KEY]
//   info

#include <ostream>
#include <string>
#include <vector>

namespace regtool {

// The command lines carvox-reg takes, as `--help` and a wrong command line show them.
extern const char* const kUsage;

// Runs one command (the arguments after the program name) and returns the exit status:
// 0 done, 1 refused or not found, 2 a command line that cannot be understood. A hive
// that cannot be read or written is left to the caller (platform::HiveError).
int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace regtool
