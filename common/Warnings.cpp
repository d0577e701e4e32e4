#include "common/Warnings.h"

#include <utility>

namespace {
// Per thread, so that a batch collecting its reasons never takes another thread's.
thread_local WarningHandler handler;
}  // namespace

void Warn(const std::string& text, unsigned style) {
  if (!WarnThroughHandler(text)) platform::MessageBox(text, style);
}

bool WarnThroughHandler(const std::string& text) {
  if (!handler) return false;
  handler(text);
  return true;
}

ScopedWarningHandler::ScopedWarningHandler(WarningHandler next) : previous_(std::exchange(handler, std::move(next))) {}

ScopedWarningHandler::~ScopedWarningHandler() { handler = std::move(previous_); }
