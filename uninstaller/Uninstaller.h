#pragma once
// The uninstaller: reads an install log and undoes, newest first, what the installation
// created: files, shared files (after their usage count reaches zero and the user
// agrees), directories and registry keys.

#include <string>

#include "platform/registry/Registry.h"
#include "uninstaller/InstalledPlaces.h"

namespace uninstaller {

inline constexpr const char* kUninstallerCaption = "Ondrel UnInstaller";

// The product picture shown while the uninstaller works; programs without a display
// pass none.
class Splash {
 public:
  virtual ~Splash() = default;
  // Shows the picture and keeps it up for its time (1800 ms).
  virtual void Show() = 0;
  virtual void Close() = 0;
};

// Runs the whole uninstallation for the log named by `commandLine` (white space around
// it removed). Returns 0 when every line was carried out, 1 when the log could not be
// read or lines were left alone (they are named in one message at the end).
int WinMain(const std::string& commandLine, Splash* splash);

// Acts on one log line by its kind; unknown, empty and "REGFILE " lines do nothing.
// A file, folder or key line that names something outside `places` is left alone and
// gives false.
bool ProcessLogLine(const std::string& line, const InstalledPlaces& places);

// Counts the file down under SharedDLLs and returns the new count; the value goes when
// it reaches 0. A missing key, or a file without a value, gives 1 and changes nothing,
// so the file is kept.
int DecrementSharedCount(const std::string& path);
// Calls the component's DllUnregisterServer, if it loads and has one.
void UnregisterServerFile(const std::string& path);

// The predefined key of a root name written exactly; null for any other text.
platform::HKEY RootKeyNamed(const std::string& name);

}  // namespace uninstaller
