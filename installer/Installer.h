#pragma once
// The setup program's front-end calls: the wizard and the unattended run fill the
// context (InitContext), take a typed directory (AcceptDirectory), run the fixed
// installation sequence (RunInstallation) and show its closing message. The steps the
// sequence is made of are private to installer/ (installer/internal/Steps.h); where
// an installation puts things is in installer/Places.h.

#include <string>

namespace installer {

// The product and its main program (strings 50000 and 50001 of the setup program).
inline constexpr const char* kProductName = "Carvox";
inline constexpr const char* kMainProgramName = "Carvox.exe";

class InstallerContext {
 public:
  InstallerContext() = default;
  InstallerContext(const InstallerContext&) = delete;
  InstallerContext& operator=(const InstallerContext&) = delete;
  // Removes the temporary directory (only an empty one goes).
  virtual ~InstallerContext();

  bool isNT = false;
  bool rebootNeeded = false;
  std::string programFilesDir;
  std::string commonFilesDir;
  std::string programsFolder;
  bool initialised = false;
  std::string sharedDir;
  std::string appDir;
  std::string windowsDir;
  std::string system16Dir;
  std::string driverDir;
  std::string systemDir;
  std::string tempDir;
  std::string productName;
  std::string mainProgramName;
};

// Fills the context once from the machine, the registry and the string table; creates
// the temporary directory. A second call does nothing.
void InitContext(InstallerContext& context);
// Checks a directory typed by the user: absolute with a drive letter, or a host path
// (taken in its Z: form), and without a comma (the log could not hold it). Returns the
// directory to use, or an empty string with `reason` set.
std::string AcceptDirectory(const std::string& typed, std::string& reason);

// Where the progress text goes (the wizard's static control, or the terminal).
class ProgressText {
 public:
  virtual ~ProgressText() = default;
  virtual void SetText(const std::string& text) = 0;
};

// The sequence Finish starts; every step reports its own error (counted by ErrorCount)
// and the next one runs.
void RunInstallation(InstallerContext& context, ProgressText& progress);

// The message after a completed installation; with the reboot flag set, the reboot
// question, whose OK restarts the machine.
void ShowClosingMessage(const InstallerContext& context);

}  // namespace installer
