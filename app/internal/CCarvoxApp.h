#pragma once
// The application object: owns the process's playback engine and bank builder, makes
// the document and the main frame (handing it both), runs the device start-up and shows
// the window.

#include <QApplication>
#include <QObject>
#include <memory>

#include "app/CMainFrame.h"
#include "audio/PlaybackEngine.h"
#include "export/SoundBankBuilder.h"

// The document: it carries no data of its own.
class CCarvoxDoc : public QObject {
  Q_OBJECT
};

class CCarvoxApp : public QApplication {
  Q_OBJECT

 public:
  CCarvoxApp(int& argc, char** argv);

  // Makes the document and the main frame, runs the device start-up and shows the
  // window. False: the program ends at once, with status 0. `drivers` (not owned, may
  // be null) lists the sound drivers.
  bool InitInstance(const SoundDriverSource* drivers);

  // Closes down: the frame goes (it releases the drives it mounted and stores the
  // window's state), then the engine stops its thread and releases the device.
  void ExitInstance();

  CMainFrame* mainFrame() const { return frame_.get(); }
  PlaybackEngine& engine() { return engine_; }

 private:
  // Before the frame, so that they outlive it.
  PlaybackEngine engine_;
  SoundBankBuilder builder_;
  std::unique_ptr<CCarvoxDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
};
