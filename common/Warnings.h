#pragma once
// Problems that the libraries report as text for the user and then go on past, or
// end one task with: a bank the SoundFont engine refused, a WAV file that could not be
// written, a program whose keygroups are skipped. A front end that shows them its own
// way (a batch that lists each failure with its reason, the command line's standard
// error) sets a handler for the thread that does the work; without one, each is shown
// in a message box, as a program with windows shows it.

#include <functional>
#include <string>

#include "platform/prompt/Prompt.h"

using WarningHandler = std::function<void(const std::string& text)>;

// Gives `text` to the thread's handler; without one, shows it in a message box of
// `style` (MB_ flags).
void Warn(const std::string& text, unsigned style = platform::MB_OK | platform::MB_ICONSTOP);

// Gives `text` to the thread's handler and returns true; without one, returns false and
// leaves the text to the caller, for warnings whose default place is a status line.
bool WarnThroughHandler(const std::string& text);

// Sets a handler for the thread while it lives; the one set before is restored after.
class ScopedWarningHandler {
 public:
  explicit ScopedWarningHandler(WarningHandler handler);
  ~ScopedWarningHandler();
  ScopedWarningHandler(const ScopedWarningHandler&) = delete;
  ScopedWarningHandler& operator=(const ScopedWarningHandler&) = delete;

 private:
  WarningHandler previous_;
};
