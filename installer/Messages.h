#pragma once
// The installer's one message routine. Its errors carry no caption of their own; the
// machine's message box needs one, so they show "Error", the caption Windows gives a
// message box without one.

#include <string>

#include "platform/prompt/Prompt.h"

namespace installer {

inline constexpr const char* kInstallerCaption = "Ondrel Installer";
inline constexpr const char* kNoCaption = "Error";

inline int ShowMessage(const std::string& text, unsigned type, const std::string& caption = kNoCaption) {
  return platform::MessageBox(text, type, caption);
}

// The errors shown so far in this process: every failed step shows one, so the setup
// program's exit status tells from it whether the installation is complete.
inline int& ErrorCount() {
  static int count = 0;
  return count;
}

inline void ShowError(const std::string& text) {
  ++ErrorCount();
  ShowMessage(text, platform::MB_OK | platform::MB_ICONSTOP);
}

}  // namespace installer
