#include "tools/cli/internal/ProgressLine.h"

namespace cli {

void ProgressLine::Item(const std::string& what) {
  ++done_;
  item_ = what;
  zoneLimit_ = 0;
  Draw();
}

void ProgressLine::Clear() {
  if (!shown_) return;
  err_ << "\r\033[K" << std::flush;
  shown_ = false;
}

void ProgressLine::SetRange(int, int upper) {
  zoneLimit_ = upper - 1;  // the builder's range is zones + 1
  zone_ = 0;
  Draw();
}

void ProgressLine::SetPos(int position) {
  zone_ = position;
  Draw();
}

void ProgressLine::Draw() {
  if (!enabled_) return;
  err_ << "\r\033[K[" << done_ << "/" << total_ << "] " << item_;
  if (zoneLimit_ > 0) err_ << " (zone " << zone_ + 1 << " of " << zoneLimit_ << ")";
  err_ << std::flush;
  shown_ = true;
}

}  // namespace cli
