#include "app/CCarvoxApp.h"

#include <QTimer>
#include <cstdlib>

#include "app/Strings.h"
#include "export/SoundBankBuilder.h"

CCarvoxApp::CCarvoxApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(LoadText(IDS_APP_TITLE));
}

// The engine is unloaded here, not by the builder's static destructor: the table of
// loaded libraries may be gone by then.
void CCarvoxApp::ExitInstance() {
  frame_.reset();
  document_.reset();
  TheSoundBankBuilder().UnloadEngine();
}

bool CCarvoxApp::InitInstance(const SoundDriverSource* drivers) {
  document_ = std::make_unique<CCarvoxDoc>();
  frame_ = std::make_unique<CMainFrame>(drivers);
  frame_->Create();
  if (!frame_->InitDevices()) return false;
  frame_->show();
  frame_->setWindowTitle(LoadText(IDS_APP_TITLE));
  // For tests and scripts: the window closes once start-up is done.
  if (std::getenv("CARVOX_CLOSE_AFTER_START") != nullptr) QTimer::singleShot(0, frame_.get(), &QWidget::close);
  return true;
}
