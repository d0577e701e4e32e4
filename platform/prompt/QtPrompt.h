#pragma once
// The message box of the programs with windows: a Qt message box with the buttons and
// icon that the type flags ask for. Installed with platform::InstallPrompt.

#include "platform/prompt/Prompt.h"

namespace platform {

class QtPrompt : public Prompt {
 public:
  // Shows a modal box over the active window and returns the button chosen. A box
  // closed without a button answers what does no harm: Cancel, Abort, No, or OK.
  int Show(const std::string& text, const std::string& caption, unsigned type) override;
};

// Whether there is a display to show windows on (an X or a Wayland display is named);
// programs without one speak through the terminal.
bool DisplayAvailable();

}  // namespace platform
