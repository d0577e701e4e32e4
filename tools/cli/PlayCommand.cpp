#include "tools/cli/PlayCommand.h"

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <memory>

#include "akai/PlayLoopAndTuning.h"
#include "akai/VolumeItems.h"
#include "audio/PlaybackEngine.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;
constexpr platform::DWORD kWaitStepMs = 50;
constexpr double kMixRate = 44100;

// Ctrl-C stops playback instead of ending the program while the device is open.
class InterruptCatcher {
 public:
  InterruptCatcher() {
    interrupted = 0;
    previous_ = std::signal(SIGINT, [](int) { interrupted = 1; });
  }
  ~InterruptCatcher() { std::signal(SIGINT, previous_); }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  void (*previous_)(int);
};

std::string GuidText(const platform::GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

bool Listed(const SoundDriverList& drivers, const std::string& description) {
  for (int i = 0; i < drivers.Count(); ++i) {
    if (drivers.At(i)->description == description) return true;
  }
  return false;
}

// Loads the sample with its data into the disc's reader.
const AkaiSample& LoadSample(OpenedDisc& disc, const SelectedVolume& volume, const std::string& typed) {
  disc.ReadFiles(volume.partition, volume.volume);
  const std::vector<FileListing> files = ListFiles(disc.reader());
  const std::string name = ListedItemName(files, typed, true, volume.label);
  const FileListing* item = FindItem(files, name, false);
  try {
    disc.reader().LoadSample(volume.partition, volume.volume, name.c_str(), true);
  } catch (const CodedError&) {
    const uint16_t start = disc.reader().partitions().At(volume.partition)->startBlock;
    throw CommandError("volume " + volume.label + ": cannot load sample \"" + name + "\": " +
                       FailureReason(std::current_exception(), disc.imageBytes(),
                                     FilePlace(start, item->start, item->size, "its directory entry")));
  }
  return disc.reader().sample();
}

void OpenOutput(PlaybackEngine& engine, const PlayOptions& options) {
  engine.EnumerateSoundDrivers();
  if (options.driver && !Listed(engine.drivers(), *options.driver)) {
    throw CommandError("no sound driver \"" + *options.driver + "\" (carvox-cli drivers lists them)");
  }
  try {
    engine.OpenDevice(options.driver.value_or(""), nullptr);
  } catch (const DSoundException& failure) {
    throw CommandError("cannot open the sound output: " +
                       platform::TakeSoundOutputFailure().value_or("error " + std::to_string(failure.code)));
  }
}

// Waits for the end of playback: a one-shot's own end, or the end of looped play
// after `seconds` (a file's recording ends itself at its length). Ctrl-C ends early.
void WaitForEnd(PlaybackEngine& engine, const PlayOptions& options) {
  const bool timed = options.loop && !platform::SoundFileOpen();
  const auto limit = static_cast<long long>(std::llround(options.seconds * 1000));
  for (long long waited = 0; !interrupted && !(timed && waited >= limit); waited += kWaitStepMs) {
    if (engine.WaitForPlaybackEnd(kWaitStepMs)) break;
  }
  engine.StopPlayback();
}

int Play(const PlayOptions& options, const VolumeChoice& choice, std::ostream& out) {
  OpenedDisc disc(options.image);
  const SelectedVolume volume = SelectVolume(disc, choice);
  const AkaiSample& sample = LoadSample(disc, volume, options.sample);
  // At least one frame: a limit of 0 would mean no limit at all.
  const uint64_t fileFrames =
      options.loop ? std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(options.seconds * kMixRate))) : 0;
  if (options.to && !platform::SelectSoundOutput("file:" + options.to->string())) {
    throw CommandError("cannot write to \"" + options.to->string() + "\"");
  }
  platform::LimitSoundFile(fileFrames);  // whichever file is chosen: --to's or CARVOX_SOUND's
  PlaybackEngine engine;
  OpenOutput(engine, options);
  const PcmFormat format = PcmFormatForRate(sample.sampleRate);
  out << "Playing " << volume.label << "/" << sample.name << " (" << sample.sampleCount << " words at "
      << sample.sampleRate << " Hz" << (options.loop ? ", looped" : "") << ")\n";
  {
    InterruptCatcher catcher;
    if (options.loop) {
      const PlayLoop loop = LoopForPlay(sample);
      engine.PlayLooped(sample.data.get(), sample.sampleCount, format, loop.start, loop.length);
    } else {
      engine.PlayOnce(sample.data.get(), sample.sampleCount, format);
    }
    WaitForEnd(engine, options);
  }
  const int32_t threadFailure = engine.lastThreadFailure();
  engine.Shutdown();  // a file is complete once its device is released
  if (const std::optional<std::string> failure = platform::TakeSoundOutputFailure()) throw CommandError(*failure);
  if (threadFailure != 0) {
    throw CommandError("the sound output failed while playing (error " + std::to_string(threadFailure) + ")");
  }
  return kExitSuccess;
}

}  // namespace

int RunPlay(const PlayOptions& options, std::ostream& out, std::ostream& err) {
  const VolumeChoice choice{options.partition, options.volumeName, options.volumeIndex};
  if (!NamesOneVolume(choice)) {
    err << kProgram << ": play: give --partition P with either --volume NAME or --volume-index N\n";
    return kExitFailure;
  }
  // A week bounds the play time, so that it stays exact in whole milliseconds and frames.
  constexpr double kLongestPlay = 7 * 24 * 3600;
  if (!(options.seconds > 0 && options.seconds <= kLongestPlay)) {
    err << kProgram << ": play: --seconds must be more than 0 and at most 604800 (a week)\n";
    return kExitFailure;
  }
  const int status = ReportFailures(options.image, err, [&] { return Play(options, choice, out); });
  platform::ForgetSoundOutputChoice();  // --to and the file's limit hold for this command only
  return status;
}

int RunDrivers(std::ostream& out) {
  PlaybackEngine engine;
  engine.EnumerateSoundDrivers();
  for (int i = 0; i < engine.drivers().Count(); ++i) {
    const SoundDriver& driver = *engine.drivers().At(i);
    const std::string guid = driver.hasGuid ? GuidText(driver.guid) : "(no GUID: the default output)";
    out << guid << std::string(guid.size() < 40 ? 40 - guid.size() : 1, ' ') << driver.description << "\n";
  }
  return kExitSuccess;
}

void AddPlayCommands(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<PlayOptions>();
  CLI::App* command = app.add_subcommand("play", "Play a sample once, or looped");
  command->add_option("IMAGE", options->image, kDiscHelp)->required();
  auto volume = std::make_shared<VolumeOptions>(*command, options->partition);
  command->add_option("SAMPLE", options->sample, "Sample name as listed (case and blanks as you like)")->required();
  command->add_flag("--loop", options->loop, "Play looped between the sample's loop points");
  command->add_option("--seconds", options->seconds, "How long looped play lasts (default 5)");
  CLI::Option* driver = command->add_option("--driver", options->driver, "Sound driver, as `drivers` lists it");
  command->add_option("--to", options->to, "Write what would be heard to this WAV file instead")->excludes(driver);
  command->callback([options, volume, &exitStatus] {
    volume->Apply(options->volumeName, options->volumeIndex);
    exitStatus = RunPlay(*options, std::cout, std::cerr);
  });

  CLI::App* drivers = app.add_subcommand("drivers", "List the sound drivers");
  drivers->callback([&exitStatus] { exitStatus = RunDrivers(std::cout); });
}

}  // namespace cli
