#pragma once
// A prompt for tests: records every message and answers from a script.

#include <deque>
#include <string>
#include <vector>

#include "platform/prompt/Prompt.h"

namespace testsupport {

struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned type;
};

class ScriptedPrompt : public platform::Prompt {
 public:
  // Installs itself for the process while it lives.
  ScriptedPrompt() : previous_(platform::InstallPrompt(this)) {}
  ~ScriptedPrompt() override { platform::InstallPrompt(previous_); }
  ScriptedPrompt(const ScriptedPrompt&) = delete;
  ScriptedPrompt& operator=(const ScriptedPrompt&) = delete;

  // Answers given in order; when the script runs out, the first button (IDOK,
  // IDRETRY, IDYES, IDABORT) is the answer.
  void Script(std::initializer_list<int> answers) { answers_.insert(answers_.end(), answers); }

  int Show(const std::string& text, const std::string& caption, unsigned type) override {
    messages_.push_back({text, caption, type});
    if (!answers_.empty()) {
      const int answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    return FirstButton(type);
  }

  const std::vector<ShownMessage>& messages() const { return messages_; }
  std::vector<std::string> texts() const {
    std::vector<std::string> result;
    for (const ShownMessage& m : messages_) result.push_back(m.text);
    return result;
  }

 private:
  static int FirstButton(unsigned type) {
    switch (type & platform::MB_TYPEMASK) {
      case platform::MB_ABORTRETRYIGNORE: return platform::IDABORT;
      case platform::MB_YESNOCANCEL:
      case platform::MB_YESNO: return platform::IDYES;
      case platform::MB_RETRYCANCEL: return platform::IDRETRY;
      default: return platform::IDOK;
    }
  }

  platform::Prompt* previous_;
  std::deque<int> answers_;
  std::vector<ShownMessage> messages_;
};

}  // namespace testsupport
