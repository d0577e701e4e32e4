// Carvox: reads AKAI S1000/S3000 CD-ROMs, lists their volumes, programs and samples,
// plays samples and exports WAV files and SoundFont banks.
#include "app/CCarvoxApp.h"
#include "platform/prompt/QtPrompt.h"
#include "platform/registry/Registry.h"

int main(int argc, char** argv) {
  CCarvoxApp application(argc, argv);
  platform::QtPrompt prompt;
  platform::InstallPrompt(&prompt);
  const int status = platform::RunReportingHiveErrors([&] {
    // The playback engine's sound driver list is passed here once it is part of the
    // program.
    const int exitStatus = application.InitInstance(nullptr) ? CCarvoxApp::exec() : 0;
    application.ExitInstance();
    return exitStatus;
  });
  platform::InstallPrompt(nullptr);
  return status;
}
