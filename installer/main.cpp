// carvox-setup: installs Carvox into the machine.
//   carvox-setup --unattended [--dir PATH]
// Unattended, the agreement counts as accepted, Finish runs at once, messages go to the
// terminal and every question takes its default answer.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "installer/Installer.h"
#include "installer/Messages.h"
#include "platform/registry/Registry.h"
#include "platform/resources/Resources.h"

extern const platform::ResourceEntry kInstallerFiles[];
extern const size_t kInstallerFilesCount;
extern const platform::StringEntry kInstallerStrings[];
extern const size_t kInstallerStringsCount;

namespace {

constexpr const char* kUsage = "usage: carvox-setup --unattended [--dir PATH]\n";

// The progress text, shown only on a terminal.
class TerminalProgress : public installer::ProgressText {
 public:
  void SetText(const std::string& text) override {
    if (isatty(fileno(stderr))) std::cerr << "\rInstalling " << text << std::flush;
  }
};

int Install(const std::vector<std::string>& arguments) {
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
  if (!unattended) {
    std::cerr << "carvox-setup: the setup wizard is not available in this build; use --unattended\n" << kUsage;
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
  // Nobody answers an unattended run: questions take their default answers.
  if (std::freopen("/dev/null", "r", stdin) == nullptr) return 1;
  platform::SetShellUnattended(true);
  TerminalProgress progress;
  installer::RunInstallation(context, progress);
  if (isatty(fileno(stderr))) std::cerr << "\n";
  installer::ShowClosingMessage(context);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  static const platform::ResourceTable table{kInstallerFiles, kInstallerFilesCount, kInstallerStrings,
                                             kInstallerStringsCount};
  platform::InstallResources(&table);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return platform::RunReportingHiveErrors([&] { return Install(arguments); }, installer::kInstallerCaption);
}
