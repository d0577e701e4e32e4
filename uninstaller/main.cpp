// ONUnInst: started with the install log's path; the arguments are joined with one
// blank into the command line, so a path with blanks needs no quotes. Without a display
// it speaks through the terminal and shows no splash.
#include <string>

#include "platform/registry/Registry.h"
#include "uninstaller/Uninstaller.h"

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
  return platform::RunReportingHiveErrors([&] { return uninstaller::WinMain(commandLine, nullptr); },
                                          uninstaller::kUninstallerCaption);
}
