// Carvox: reads AKAI S1000/S3000 CD-ROMs, lists their volumes, programs and samples,
// plays samples and exports WAV files and SoundFont banks.
#include <iostream>

#include "app/internal/CCarvoxApp.h"
#include "platform/program/ProgramInfo.h"
#include "platform/prompt/QtPrompt.h"
#include "platform/registry/Registry.h"

namespace {

constexpr const char* kHelp =
    "usage: carvox [IMAGE]\n"
    "Reads AKAI S1000/S3000 sampler CD-ROMs in a window: lists their volumes, programs and\n"
    "samples, plays samples, exports WAV files and SoundFont banks.\n"
    "IMAGE, a disc image (.iso, .img, .bin, .cue), is mounted in a free virtual drive and opened.\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n";

// The settings and the preferences see the playback engine's driver list, listed afresh
// each time they ask.
class EngineDrivers : public SoundDriverSource {
 public:
  explicit EngineDrivers(PlaybackEngine& engine) : engine_(engine) {}
  std::vector<SoundDriverChoice> Drivers() const override {
    engine_.EnumerateSoundDrivers();
    std::vector<SoundDriverChoice> choices;
    const SoundDriverList& drivers = engine_.drivers();
    for (int i = 0; i < drivers.Count(); ++i) choices.push_back({drivers.At(i)->description, drivers.At(i)->hasGuid});
    return choices;
  }

 private:
  PlaybackEngine& engine_;
};

}  // namespace

int main(int argc, char** argv) {
  // Answered before the application object exists: no window, no display needed.
  if (const auto status = platform::AnswerInfoOption(argc, argv, "carvox", kHelp, std::cout)) return *status;
  CCarvoxApp application(argc, argv);
  platform::QtPrompt prompt;
  platform::InstallPrompt(&prompt);
  const EngineDrivers drivers(application.engine());
  const int status = platform::RunReportingHiveErrors([&] {
    const int exitStatus = application.InitInstance(&drivers) ? CCarvoxApp::exec() : 0;
    application.ExitInstance();
    return exitStatus;
  });
  platform::InstallPrompt(nullptr);
  return status;
}
