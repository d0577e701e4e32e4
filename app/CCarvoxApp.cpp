#include "app/internal/CCarvoxApp.h"

#include <QTimer>
#include <cstdlib>

#include "app/internal/Strings.h"

CCarvoxApp::CCarvoxApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(LoadText(IDS_APP_TITLE));
  // Desktops match the window to its menu entry and icon by this id (packaging/).
  setDesktopFileName("org.carvox.Carvox");
}

// The frame goes first (it stops what plays from its volume reader); then the engine
// stops its thread and releases the device, while the sound output's objects exist.
void CCarvoxApp::ExitInstance() {
  frame_.reset();
  document_.reset();
  engine_.Shutdown();
}

bool CCarvoxApp::InitInstance(const SoundDriverSource* drivers) {
  document_ = std::make_unique<CCarvoxDoc>();
  frame_ = std::make_unique<CMainFrame>(engine_, builder_, drivers);
  frame_->Create();
  if (!frame_->InitDevices()) return false;
  frame_->show();
  // `carvox IMAGE`: the image is mounted in a free drive and opened.
  if (arguments().size() > 1) frame_->MountImage(arguments().at(1));
  // For tests and scripts: the window closes once start-up is done.
  if (std::getenv("CARVOX_CLOSE_AFTER_START") != nullptr) QTimer::singleShot(0, frame_.get(), &QWidget::close);
  return true;
}
