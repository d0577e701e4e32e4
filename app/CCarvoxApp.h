#pragma once
// The application object: makes the document and the main frame, runs the device
// start-up and shows the window.

#include <QApplication>
#include <QObject>
#include <memory>

#include "app/CMainFrame.h"

// The document: it carries no data of its own.
class CCarvoxDoc : public QObject {
  Q_OBJECT
};

class CCarvoxApp : public QApplication {
  Q_OBJECT

 public:
  CCarvoxApp(int& argc, char** argv);

  // Makes the document and the main frame, runs the device start-up and shows the
  // window titled "Carvox". False: the program ends at once, with status 0.
  // `drivers` (not owned, may be null) lists the sound drivers.
  bool InitInstance(const SoundDriverSource* drivers);

  // Closes down: the frame goes (its preferences store the last export folder).
  void ExitInstance();

  CMainFrame* mainFrame() const { return frame_.get(); }

 private:
  std::unique_ptr<CCarvoxDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
};
