#pragma once
// The progress line of a long export on a terminal: "[12/40] A/DRUMS/KICK", redrawn in
// place on standard error and cleared before anything else is printed, so that the
// lines the export prints stay whole. Disabled (off a terminal) it prints nothing.

#include <ostream>
#include <string>

#include "export/ExportFeedback.h"

namespace cli {

class ProgressLine : public ProgressBar {
 public:
  ProgressLine(std::ostream& err, bool enabled, int total) : err_(err), enabled_(enabled), total_(total) {}
  ~ProgressLine() override { Clear(); }

  // The next item of the run starts.
  void Item(const std::string& what);
  // Removes the line from the screen (it is drawn again by the next update).
  void Clear();

  // A bank being built reports its zones through these.
  void SetRange(int lower, int upper) override;
  void SetPos(int position) override;

 private:
  void Draw();

  std::ostream& err_;
  bool enabled_;
  int total_;
  int done_ = 0;
  std::string item_;
  int zoneLimit_ = 0;  // 0: no zones to show
  int zone_ = 0;
  bool shown_ = false;
};

}  // namespace cli
