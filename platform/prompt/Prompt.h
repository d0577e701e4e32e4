#pragma once
// The one way the system shows a message box or asks a question. The type flags and
// answers carry the values the system passes and expects (buttons in the low nibble,
// icon in the next).

#include <string>

namespace platform {

enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_ICONSTOP = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_TYPEMASK = 0xF,
  MB_ICONMASK = 0xF0,
};

enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

class Prompt {
 public:
  virtual ~Prompt() = default;
  // Shows `text` and returns the button chosen (IDOK, IDCANCEL, ...).
  virtual int Show(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// Prints to standard error; on a terminal it asks for the answer, elsewhere it takes
// the answer that does no harm (Cancel, No, Abort; OK for a plain message).
class TerminalPrompt : public Prompt {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned type) override;
};

// The prompt installed for the process (a TerminalPrompt until another is installed).
Prompt& CurrentPrompt();
// Installs `prompt` (not owned; null restores the terminal prompt) and returns the
// previous one.
Prompt* InstallPrompt(Prompt* prompt);

// Shows a message through the installed prompt; the caption defaults to the
// program's title.
int MessageBox(const std::string& text, unsigned type = MB_OK | MB_ICONSTOP,
               const std::string& caption = "Carvox");

}  // namespace platform
