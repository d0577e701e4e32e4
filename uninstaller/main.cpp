// ONUnInst: started with the install log's path; the arguments are joined with one
// blank into the command line, so a path with blanks needs no quotes. With a display it
// shows its splash and Qt message boxes; without one it speaks through the terminal
// and shows no splash.
#include <QApplication>
#include <string>

#include "platform/prompt/QtPrompt.h"
#include "platform/registry/Registry.h"
#include "uninstaller/Uninstaller.h"
#include "uninstaller/internal/QtSplash.h"

namespace {

int Uninstall(const std::string& commandLine, uninstaller::Splash* splash) {
  return platform::RunReportingHiveErrors([&] { return uninstaller::WinMain(commandLine, splash); },
                                          uninstaller::kUninstallerCaption);
}

}  // namespace

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
  if (!platform::DisplayAvailable()) return Uninstall(commandLine, nullptr);
  QApplication application(argc, argv);
  platform::QtPrompt prompt;
  platform::InstallPrompt(&prompt);
  uninstaller::QtSplash splash;
  const int status = Uninstall(commandLine, &splash);
  platform::InstallPrompt(nullptr);
  return status;
}
