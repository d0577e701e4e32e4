#pragma once
// The uninstaller's splash window, dialog 130: the product picture in a centred pop-up
// without a caption, kept up for 1800 ms without handling any input.

#include <memory>

#include "uninstaller/Uninstaller.h"

class QLabel;

namespace uninstaller {

class QtSplash : public Splash {
 public:
  static constexpr unsigned long kMilliseconds = 1800;

  QtSplash();
  ~QtSplash() override;
  void Show() override;
  void Close() override;

 private:
  std::unique_ptr<QLabel> window_;
};

}  // namespace uninstaller
