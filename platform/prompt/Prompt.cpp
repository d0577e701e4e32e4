#include "platform/prompt/Prompt.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace platform {
namespace {

struct Choice {
  char key;
  const char* label;
  int answer;
};

// The buttons of a message type, the harmless answer first.
std::vector<Choice> ChoicesFor(unsigned type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{'c', "Cancel", IDCANCEL}, {'o', "OK", IDOK}};
    case MB_ABORTRETRYIGNORE:
      return {{'a', "Abort", IDABORT}, {'r', "Retry", IDRETRY}, {'i', "Ignore", IDIGNORE}};
    case MB_YESNOCANCEL: return {{'c', "Cancel", IDCANCEL}, {'y', "Yes", IDYES}, {'n', "No", IDNO}};
    case MB_YESNO: return {{'n', "No", IDNO}, {'y', "Yes", IDYES}};
    case MB_RETRYCANCEL: return {{'c', "Cancel", IDCANCEL}, {'r', "Retry", IDRETRY}};
    default: return {{'o', "OK", IDOK}};
  }
}

const char* IconWord(unsigned type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONINFORMATION: return "note";
    default: return nullptr;
  }
}

TerminalPrompt& DefaultPrompt() {
  static TerminalPrompt prompt;
  return prompt;
}

std::atomic<Prompt*> installed{nullptr};

}  // namespace

int TerminalPrompt::Show(const std::string& text, const std::string& caption, unsigned type) {
  const char* icon = IconWord(type);
  std::cerr << caption << ": " << (icon ? std::string(icon) + ": " : "") << text << '\n';
  const std::vector<Choice> choices = ChoicesFor(type);
  if (choices.size() == 1 || !isatty(STDIN_FILENO)) return choices.front().answer;
  for (;;) {
    for (const Choice& c : choices) std::cerr << '[' << c.key << ']' << (c.label + 1) << ' ';
    std::cerr << "? " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return choices.front().answer;
    for (const Choice& c : choices) {
      if (!line.empty() && std::tolower(static_cast<unsigned char>(line[0])) == c.key) return c.answer;
    }
  }
}

Prompt& CurrentPrompt() {
  Prompt* prompt = installed.load();
  return prompt ? *prompt : DefaultPrompt();
}

Prompt* InstallPrompt(Prompt* prompt) { return installed.exchange(prompt); }

int MessageBox(const std::string& text, unsigned type, const std::string& caption) {
  return CurrentPrompt().Show(text, caption, type);
}

}  // namespace platform
