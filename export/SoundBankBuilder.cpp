#include "export/SoundBankBuilder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>
#include <numbers>
#include <optional>
#include <system_error>
#include <vector>

#include "akai/AkaiException.h"
#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"
#include "audio/WavFile.h"
#include "common/Warnings.h"
#include "export/ProgramPreset.h"
#include "platform/library/Library.h"
#include "platform/machine/Machine.h"

namespace fs = std::filesystem;
using namespace sf2;

namespace {

constexpr const char* kApplicationName = "Carvox";
constexpr const char* kNoEngineDriver = "Could not load the SF2 manager driver;\nSF2 export will not work";
constexpr const char* kEngineNotRunning = "Could not perform task;\nthe SF2 engine isn't running.";
constexpr const char* kEngineError = "error - unspecific error in SF2 engine";
constexpr const char* kSampleNotFound = "WARNING - Sample not found: ";
constexpr const char* kEmptyBank = "WARNING - Bank %s not written (seems to contain no valid samples)";

// Bank information ids the engine knows, set in this order.
constexpr int32_t kInfoComment = 5;
constexpr int32_t kInfoCreationDate = 9;
constexpr int32_t kInfoSoftware = 8;
constexpr size_t kInfoTextSize = 256;

// Places of the values read from the raw keygroup and program bytes (keygroupBytes
// starts at keygroup byte 3, header15to41 at program byte 15).
constexpr size_t kKeygroupFilter = 7 - 3;
constexpr size_t kEnv2ToFilter = 11 - 3;
constexpr size_t kAmpEnvelope = 12 - 3;  // attack, decay, sustain, release
constexpr size_t kAmpKeyScaling = 19 - 3;
constexpr size_t kEnv2 = 20 - 3;  // attack, decay, sustain, release
constexpr size_t kEnv2KeyScaling = 27 - 3;
constexpr size_t kEnv2ToPitch = 29 - 3;
constexpr size_t kLfoSpeed = 33 - 15;
constexpr size_t kLfoDepth = 34 - 15;
constexpr size_t kLfoDelay = 35 - 15;

SFGenRecord Gen(uint16_t id, int amount) {
  return {id, static_cast<uint16_t>(static_cast<int16_t>(amount))};
}

SFGenRecord RangeGen(uint16_t id, uint8_t low, uint8_t high) {
  return {id, static_cast<uint16_t>(low | (high << 8))};
}

int Signed(uint8_t byte) { return static_cast<int8_t>(byte); }

// The timecents of a time of e^exponent seconds.
int SecondsToTimeCents(double exponent) {
  return static_cast<int>(std::trunc(1200.0 * exponent / std::numbers::ln2));
}

// Decay and release times run from e^-5.47 s at 0 to e^3.25 s at 100.
double DecayExponent(int value) { return 8.72 * value / 100.0 - 5.47; }

// English day and month names whatever the user's locale, e.g. "Monday, December 07, 2026".
std::string EnglishDate(const std::tm& date) {
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  static const char* const kMonths[] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %s %02d, %d", kDays[date.tm_wday % 7],
                kMonths[date.tm_mon % 12], date.tm_mday, date.tm_year + 1900);
  return text;
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return EnglishDate(local);
}

// "~sfytemp.wav" in the temp folder below the machine's Windows folder, as a host path;
// empty when the machine cannot map that folder.
fs::path TemporaryWavPath() {
  char windows[360] = {};
  platform::GetWindowsDirectoryA(windows, sizeof windows);
  std::string path = windows;
  if (path.empty() || path.back() != '\\') path += '\\';
  path += "temp\\~sfytemp.wav";
  try {
    return platform::ToHostPath(path);
  } catch (const platform::PathError&) {
    return {};
  }
}

// An exclusive lock on a file beside the temporary WAV, held from writing the WAV to
// its import, so that two programs building at once never share the file.
class TemporaryWavLock {
 public:
  explicit TemporaryWavLock(const fs::path& wav) {
    const fs::path lockPath = fs::path(wav) += ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~TemporaryWavLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  TemporaryWavLock(const TemporaryWavLock&) = delete;
  TemporaryWavLock& operator=(const TemporaryWavLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

StderrStatusLine defaultStatusLine;

}  // namespace

// --- Value conversions --------------------------------------------------------------

// Attack times run from e^-6.3 s at 0 to e^2.1 s at 100.
int AttackTimeCents(int value) { return SecondsToTimeCents(8.4 * value / 100.0 - 6.3); }

int DecayTimeCents(int value) { return SecondsToTimeCents(DecayExponent(value)); }

int KeyScaledDecay(int value) {
  const auto time = [](int x) { return std::exp(DecayExponent(x)); };
  const double share = (time(std::abs(value)) - time(0)) / (time(99) - time(0));
  return static_cast<int>(std::trunc((value < 0 ? -1200.0 : 1200.0) * share));
}

int SustainAttenuation(int value) {
  return static_cast<int>(std::trunc(1440.0 - value * 14.545454545454545));
}

int FilterCutoffCents(int keygroupFilter, int zoneFilter) {
  const int cutoff = std::clamp(keygroupFilter + zoneFilter, 0, 99);
  return static_cast<int>(std::trunc(cutoff * 136.36363636363637));
}

SoundBankBuilder::ZoneGenerators ZoneGeneratorsFor(const AkaiProgram& program,
                                                   const AkaiKeygroup& keygroup,
                                                   uint32_t zoneIndex, const AkaiSample& sample) {
  const AkaiVelocityZone& zone = keygroup.zones[zoneIndex];
  const uint8_t* kg = keygroup.keygroupBytes;
  const bool looped = zone.loopMode <= 1 && FindPlayLoopInside(sample).length != 0;
  // The bank's sample carries its own rate and players sound it at that rate, so the
  // tuning takes no rate correction (rates of 0 leave that step out): correcting for a
  // rate off the nominal 22050/44100 Hz would put the zone out of tune, a 32000 Hz
  // sample 5.5 semitones sharp.
  const ZoneTuning tuning =
      ComputeZoneTuning(zone.semitoneTune, zone.centsTune, keygroup.semitoneTune(), keygroup.centsTune(),
                        sample.semitoneTune, sample.centsTune, 0, 0);
  // fineTune must stay within -99..99 (players clamp it, changing the pitch): its whole
  // semitones move into coarseTune, so the pitch stays the same.
  const int coarse = tuning.coarse + tuning.fine / 100;
  const int fine = tuning.fine % 100;
  return {{
      Gen(kOverridingRootKey, sample.originalKey),
      Gen(kSampleModes, looped ? 1 : 0),
      Gen(kAttackVolEnv, AttackTimeCents(kg[kAmpEnvelope])),
      Gen(kDecayVolEnv, DecayTimeCents(kg[kAmpEnvelope + 1])),
      Gen(kSustainVolEnv, SustainAttenuation(kg[kAmpEnvelope + 2])),
      Gen(kReleaseVolEnv, DecayTimeCents(kg[kAmpEnvelope + 3])),
      Gen(kPan, zone.pan * 10),
      Gen(kCoarseTune, coarse),
      Gen(kFineTune, fine),
      Gen(kKeynumToVolEnvDecay, KeyScaledDecay(Signed(kg[kAmpKeyScaling]))),
      Gen(kScaleTuning, zone.keyTracking != 0 ? 0 : 100),
      Gen(kModLfoToVolume, static_cast<int>(std::trunc(program.header15to41[kLfoDepth] * 9.6))),
      Gen(kDelayModLfo, AttackTimeCents(program.header15to41[kLfoDelay])),
      Gen(kFreqModLfo, DecayTimeCents(program.header15to41[kLfoSpeed])),
      Gen(kAttackModEnv, AttackTimeCents(kg[kEnv2])),
      Gen(kDecayModEnv, DecayTimeCents(kg[kEnv2 + 1])),
      Gen(kSustainModEnv, SustainAttenuation(kg[kEnv2 + 2])),
      Gen(kReleaseModEnv, DecayTimeCents(kg[kEnv2 + 3])),
      Gen(kKeynumToModEnvDecay, KeyScaledDecay(Signed(kg[kEnv2KeyScaling]))),
      Gen(kInitialFilterFc, FilterCutoffCents(kg[kKeygroupFilter], Signed(zone.rawBytes[1]))),
      Gen(kModEnvToFilterFc, Signed(kg[kEnv2ToFilter]) * 240),
      Gen(kModEnvToPitch, Signed(kg[kEnv2ToPitch]) * 240),
  }};
}

int GeneratorAmount(const SoundBankBuilder::ZoneGenerators& generators, uint16_t id) {
  const auto found =
      std::find_if(generators.begin(), generators.end(), [id](const SFGenRecord& g) { return g.id == id; });
  return found == generators.end() ? 0 : static_cast<int16_t>(found->amount);
}

// --- One build ----------------------------------------------------------------------

// The state of one bank under construction. Whatever way a build ends, the bank it
// created is ended and its sample table freed.
class SoundBankBuilder::Build {
 public:
  Build(SoundBankBuilder& owner, AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
        ProgressBar* progress, const WrittenSampleFiles& writtenFiles)
      : owner_(owner), api_(*owner.api_), reader_(reader), partition_(partition),
        volume_(volume), progress_(progress), writtenFiles_(writtenFiles) {}
  ~Build() {
    if (bankOpen_) EndBankUnchecked();
  }
  Build(const Build&) = delete;
  Build& operator=(const Build&) = delete;

  int Run(const ProgramPreset& preset, const fs::path& outputPath);

 private:
  enum class ZoneOutcome { Completed, Skipped, Failed };
  enum class SampleOutcome { Ready, Missing, Failed };
  struct TableEntry {
    SFHandle sample;
    std::string name;
  };

  bool CreateBank();
  bool SetBankInformation();
  bool AddInstrumentAndPreset(const char* name);
  ZoneOutcome AddZone(const PresetZone& zone);
  SampleOutcome ProvideSample(const char* name, SFHandle& sample);
  bool ImportWrittenFile(const char* name, SFHandle& sample);
  bool WriteTemporaryWav(const char* name, const std::optional<std::vector<FileRun>>& words);
  bool ImportCurrentSample(const char* name, const std::optional<std::vector<FileRun>>& words, SFHandle& sample);
  int SaveAndEnd(const fs::path& outputPath);
  void EndBankUnchecked();

  SoundBankBuilder& owner_;
  EngineApi& api_;
  AkaiVolumeReader& reader_;
  const uint16_t partition_;
  const uint16_t volume_;
  ProgressBar* const progress_;
  const WrittenSampleFiles& writtenFiles_;
  SFHandle bank_ = 0;
  bool bankOpen_ = false;
  SFHandle instrument_ = 0;
  fs::path temporaryWav_;
  std::vector<TableEntry> sampleTable_;
  int completedZones_ = 0;
};

int SoundBankBuilder::Build::Run(const ProgramPreset& preset, const fs::path& outputPath) {
  if (!CreateBank() || !SetBankInformation()) return 0;

  temporaryWav_ = TemporaryWavPath();
  sampleTable_.reserve(preset.zones.size());
  if (progress_ != nullptr) progress_->SetRange(0, preset.listedZones + 1);

  if (!AddInstrumentAndPreset(preset.program.c_str())) return 0;
  for (const PresetZone& zone : preset.zones) {
    const ZoneOutcome outcome = AddZone(zone);
    if (outcome == ZoneOutcome::Failed) return 0;
    if (outcome == ZoneOutcome::Completed) ++completedZones_;
  }
  sampleTable_.clear();

  if (completedZones_ == 0) {
    EndBankUnchecked();
    char text[kInfoTextSize + 64];
    std::snprintf(text, sizeof text, kEmptyBank, preset.program.c_str());
    // The reason a batch lists with the bank; else the status line's, as it is no error.
    if (!WarnThroughHandler(text)) owner_.statusLine_->SetStatusText(text);
    return 0;
  }
  return SaveAndEnd(outputPath);
}

bool SoundBankBuilder::Build::CreateBank() {
  if (!CheckEngineResult(api_.CreateBank(&bank_))) return false;
  bankOpen_ = true;
  return true;
}

bool SoundBankBuilder::Build::SetBankInformation() {
  const std::string today = Today();
  const struct {
    int32_t id;
    const char* format;
    const char* argument;
  } items[] = {
      {kInfoComment, "%s generated Sound Bank", kApplicationName},
      {kInfoCreationDate, "%s", today.c_str()},
      {kInfoSoftware, "%s Ver. 1.0     ", kApplicationName},
  };
  for (const auto& item : items) {
    char text[kInfoTextSize] = {};
    std::snprintf(text, sizeof text, item.format, item.argument);
    if (!CheckEngineResult(api_.SetBankInfo(bank_, item.id, text))) return false;
  }
  return true;
}

bool SoundBankBuilder::Build::AddInstrumentAndPreset(const char* name) {
  SFHandle preset = 0;
  return CheckEngineResult(api_.AddInstrument(bank_, name, 0, &instrument_)) &&
         CheckEngineResult(api_.AddPreset(bank_, name, 0, 0, instrument_, &preset));
}

SoundBankBuilder::Build::ZoneOutcome SoundBankBuilder::Build::AddZone(const PresetZone& zone) {
  SFHandle sample = 0;
  switch (ProvideSample(zone.sampleName.c_str(), sample)) {
    case SampleOutcome::Missing: return ZoneOutcome::Skipped;
    case SampleOutcome::Failed: return ZoneOutcome::Failed;
    case SampleOutcome::Ready: break;
  }
  if (progress_ != nullptr) progress_->SetPos(completedZones_);

  SFHandle zoneHandle = 0;
  const SFGenRecord keys = RangeGen(kKeyRange, zone.lowKey, zone.highKey);
  const SFGenRecord velocities = RangeGen(kVelRange, zone.lowVelocity, zone.highVelocity);
  const bool written =
      CheckEngineResult(api_.AddInstrumentZone(instrument_, sample, &zoneHandle)) &&
      CheckEngineResult(api_.SetZoneKeyRange(zoneHandle, &keys)) &&
      CheckEngineResult(api_.SetZoneVelocityRange(zoneHandle, &velocities)) &&
      owner_.WriteZoneGenerators(zoneHandle, zone.generators);
  return written ? ZoneOutcome::Completed : ZoneOutcome::Failed;
}

// Gives the engine sample of `name`, importing it (through the reader, with its words)
// on first use. A sample the volume does not hold is reported and skipped; read errors
// pass through to the caller.
SoundBankBuilder::Build::SampleOutcome SoundBankBuilder::Build::ProvideSample(const char* name,
                                                                              SFHandle& sample) {
  const auto known = std::find_if(sampleTable_.begin(), sampleTable_.end(),
                                  [name](const TableEntry& entry) { return entry.name == name; });
  if (known != sampleTable_.end()) {
    sample = known->sample;
    return SampleOutcome::Ready;
  }
  if (ImportWrittenFile(name, sample)) {
    sampleTable_.push_back({sample, name});
    return SampleOutcome::Ready;
  }
  std::optional<std::vector<FileRun>> words;
  try {
    // A new sample's words are loaded only where they cannot be copied file to file.
    words = reader_.LocateSampleWords(partition_, volume_, name);
    if (!words) reader_.LoadSample(partition_, volume_, name, true);
  } catch (const AKAIException&) {
    owner_.statusLine_->SetStatusText(std::string(kSampleNotFound) + name);
    return SampleOutcome::Missing;
  }
  if (!ImportCurrentSample(name, words, sample)) return SampleOutcome::Failed;
  sampleTable_.push_back({sample, name});
  return SampleOutcome::Ready;
}

// Imports the WAV file the export wrote for `name`, if any: the words then go from that
// file into the bank, without a temporary copy. A file the engine does not take (it was
// removed or changed since) is passed over silently, and the sample is read again.
bool SoundBankBuilder::Build::ImportWrittenFile(const char* name, SFHandle& sample) {
  if (!writtenFiles_) return false;
  const fs::path written = writtenFiles_(name);
  return !written.empty() && api_.ImportWavSample(written.c_str(), bank_, name, &sample) == 0;
}

// Writes the current sample as the temporary WAV: its words copied from where `words`
// says they lie, or, where that fails, loaded and written.
bool SoundBankBuilder::Build::WriteTemporaryWav(const char* name, const std::optional<std::vector<FileRun>>& words) {
  if (words) {
    if (CopyWavFile(reader_.sample(), temporaryWav_, *words)) return true;
    reader_.LoadSample(partition_, volume_, name, true);
  }
  return WriteWavFile(reader_.sample(), temporaryWav_, false);
}

// Hands the current sample to the engine through the temporary WAV. A WAV that could
// not be written is never imported: the engine would take a stale file's audio.
bool SoundBankBuilder::Build::ImportCurrentSample(const char* name, const std::optional<std::vector<FileRun>>& words,
                                                  SFHandle& sample) {
  if (temporaryWav_.empty()) {
    Warn(kWavWriteFailedText);
    return false;
  }
  TemporaryWavLock lock(temporaryWav_);
  if (!lock.held()) {
    Warn(kWavWriteFailedText);
    return false;
  }
  if (!WriteTemporaryWav(name, words)) return false;
  const int result = api_.ImportWavSample(temporaryWav_.c_str(), bank_, name, &sample);
  // A file left behind is harmless: the next write replaces it, or reports that it can't.
  std::error_code ignored;
  fs::remove(temporaryWav_, ignored);
  return CheckEngineResult(result);
}

int SoundBankBuilder::Build::SaveAndEnd(const fs::path& outputPath) {
  const int saved = CheckEngineResult(api_.SaveBank(bank_, outputPath.c_str(), 0));
  bankOpen_ = false;
  const int ended = CheckEngineResult(api_.EndBank(bank_));
  const int released = CheckEngineResult(api_.ReleaseBank(bank_));
  // A bank that could not be saved is no success, however cleanly it ended.
  return saved && ended && released ? 1 : 0;
}

void SoundBankBuilder::Build::EndBankUnchecked() {
  bankOpen_ = false;
  api_.EndBank(bank_);
  api_.ReleaseBank(bank_);
}

// --- The builder --------------------------------------------------------------------

SoundBankBuilder::SoundBankBuilder(StatusLine* statusLine) { SetStatusLine(statusLine); }

SoundBankBuilder::~SoundBankBuilder() { UnloadEngine(); }

void SoundBankBuilder::SetStatusLine(StatusLine* statusLine) {
  statusLine_ = statusLine != nullptr ? statusLine : &defaultStatusLine;
}

void SoundBankBuilder::LoadEngine(const std::string& library) {
  UnloadEngine();
  library_ = platform::LoadLibraryA(library.c_str());
  if (library_ == nullptr) {
    Warn(kNoEngineDriver, platform::MB_OK);
    return;
  }
  // "SFEditEngine" is a data export that holds the entry function.
  auto* entry = static_cast<SFEditEngineEntry*>(platform::GetProcAddress(library_, kEngineEntryExport));
  if (entry == nullptr || *entry == nullptr || (*entry)(kEngineInterfaceVersion, &api_) != 0 ||
      api_ == nullptr) {
    UnloadEngine();
  }
}

void SoundBankBuilder::UseEngine(EngineApi* api) {
  UnloadEngine();
  api_ = api;
}

void SoundBankBuilder::UnloadEngine() {
  api_ = nullptr;
  if (library_ != nullptr) platform::FreeLibrary(library_);
  library_ = nullptr;
}

int SoundBankBuilder::IsEngineRunning() const {
  if (api_ != nullptr) return 1;
  Warn(kEngineNotRunning);
  return 0;
}

int SoundBankBuilder::CheckEngineResult(int result) {
  if (result == 0) return 1;
  Warn(kEngineError);
  return 0;
}

int SoundBankBuilder::WriteZoneGenerators(SFHandle zone, const ZoneGenerators& generators) {
  for (const SFGenRecord& generator : generators) {
    if (!CheckEngineResult(api_->SetZoneGenerator(zone, &generator))) return 0;
  }
  return 1;
}

int SoundBankBuilder::BuildSoundBank(AkaiVolumeReader& reader, uint16_t partition,
                                     uint16_t volume, const char* programName,
                                     const fs::path& outputPath, ProgressBar* progress) {
  const std::optional<ProgramPreset> preset = ReadProgramPreset(reader, partition, volume, programName, *statusLine_);
  return preset ? BuildSoundBank(reader, partition, volume, *preset, outputPath, progress) : 0;
}

int SoundBankBuilder::BuildSoundBank(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                                     const ProgramPreset& preset, const fs::path& outputPath,
                                     ProgressBar* progress, const WrittenSampleFiles& writtenFiles) {
  if (!IsEngineRunning()) return 0;
  try {
    Build build(*this, reader, partition, volume, progress, writtenFiles);
    return build.Run(preset, outputPath);
  } catch (const std::exception&) {
    // A zone's sample could not be read (CodedError: a read error, or a loop table that
    // contradicts itself), or memory ran out: the build never throws.
    Warn(kProgramReadErrorText);
    return 0;
  }
}
