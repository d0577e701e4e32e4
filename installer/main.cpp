// carvox-setup: installs Carvox into the machine.
//   carvox-setup [--unattended] [--dir PATH]
// Without --unattended the wizard runs (it needs a display); --dir fills its directory
// page. Unattended, the agreement counts as accepted, Finish runs at once, messages go
// to the terminal and every question takes its default answer.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "installer/Installer.h"
#include "installer/Messages.h"
#include "installer/internal/Wizard.h"
#include "platform/program/ProgramInfo.h"
#include "platform/prompt/QtPrompt.h"
#include "platform/registry/Registry.h"
#include "platform/resources/Resources.h"
#include "platform/shell/Shell.h"

extern const platform::ResourceEntry kInstallerFiles[];
extern const size_t kInstallerFilesCount;
extern const platform::StringEntry kInstallerStrings[];
extern const size_t kInstallerStringsCount;

namespace {

constexpr const char* kUsage = "usage: carvox-setup [--unattended] [--dir PATH]\n";
constexpr const char* kOptions =
    "Installs Carvox into the machine (CARVOX_MACHINE) through the setup wizard.\n"
    "  --unattended   install without questions, taking every default answer\n"
    "  --dir PATH     the folder to install into (a path of the machine, C:\\...)\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";

// The progress text, shown only on a terminal.
class TerminalProgress : public installer::ProgressText {
 public:
  void SetText(const std::string& text) override {
    if (isatty(fileno(stderr))) std::cerr << "\rInstalling " << text << std::flush;
  }
};

int InstallUnattended(installer::InstallerContext& context) {
  // Nobody answers an unattended run: questions take their default answers.
  if (std::freopen("/dev/null", "r", stdin) == nullptr) return 1;
  platform::SetShellUnattended(true);
  TerminalProgress progress;
  installer::RunInstallation(context, progress);
  if (isatty(fileno(stderr))) std::cerr << "\n";
  installer::ShowClosingMessage(context);
  return installer::ErrorCount() == 0 ? 0 : 1;
}

int InstallWithWizard(int& argc, char** argv, installer::InstallerContext& context) {
  QApplication application(argc, argv);
  platform::QtPrompt prompt;
  platform::InstallPrompt(&prompt);
  installer::RunWizard(context);
  platform::InstallPrompt(nullptr);
  return installer::ErrorCount() == 0 ? 0 : 1;
}

int Install(int& argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  bool unattended = false;
  std::string directory;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--unattended") unattended = true;
    else if (arguments[i] == "--dir" && i + 1 < arguments.size()) directory = arguments[++i];
    else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (!unattended && !platform::DisplayAvailable()) {
    std::cerr << "carvox-setup: no display for the setup wizard; use --unattended\n" << kUsage;
    return 2;
  }
  // Lives for the whole run; its end removes the staging folder (a static one would be
  // destroyed after the machine's own statics at exit).
  installer::InstallerContext context;
  installer::InitContext(context);
  if (!directory.empty()) {
    std::string reason;
    context.appDir = installer::AcceptDirectory(directory, reason);
    if (context.appDir.empty()) {
      std::cerr << "carvox-setup: " << directory << ": " << reason << "\n";
      return 2;
    }
  }
  return unattended ? InstallUnattended(context) : InstallWithWizard(argc, argv, context);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string help = std::string(kUsage) + kOptions;
  if (const auto status = platform::AnswerInfoOption(argc, argv, "carvox-setup", help, std::cout)) {
    return *status;
  }
  static const platform::ResourceTable table{kInstallerFiles, kInstallerFilesCount, kInstallerStrings,
                                             kInstallerStringsCount};
  platform::InstallResources(&table);
  return platform::RunReportingHiveErrors([&] { return Install(argc, argv); }, installer::kInstallerCaption);
}
