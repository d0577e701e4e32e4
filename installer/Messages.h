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

inline void ShowError(const std::string& text) { ShowMessage(text, platform::MB_OK | platform::MB_ICONSTOP); }

}  // namespace installer
