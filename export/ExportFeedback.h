#pragma once
// What the export shows while it runs, as interfaces the user interface implements:
// the first pane of the main window's status bar and the export dialog's progress bar.
// Tools print, tests record.

#include <string>

class StatusLine {
 public:
  virtual ~StatusLine() = default;
  // Replaces the text of the status bar's first pane.
  virtual void SetStatusText(const std::string& text) = 0;
};

// Writes each status text as a line on standard error; the default where no window is.
class StderrStatusLine : public StatusLine {
 public:
  void SetStatusText(const std::string& text) override;
};

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetPos(int position) = 0;
};
