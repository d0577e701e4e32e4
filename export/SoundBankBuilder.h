#pragma once
// Turns one AKAI program into one SoundFont 2 bank (".sf2") by driving the SoundFont
// edit engine ("SFEDT32.DLL") through its table of entry points. Sample data reaches
// the engine only as a temporary WAV file below the machine's Windows folder.
// One builder serves the whole process.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "akai/AkaiRecords.h"
#include "export/ExportFeedback.h"
#include "platform/library/Library.h"
#include "platform/sfengine/EngineApi.h"

class AkaiVolumeReader;
struct ProgramPreset;

// SoundFont 2 generator ids, as the zones of a bank carry them.
namespace sf2 {
enum Generator : uint16_t {
  kModEnvToPitch = 7,
  kInitialFilterFc = 8,
  kModEnvToFilterFc = 11,
  kModLfoToVolume = 13,
  kPan = 17,
  kDelayModLfo = 21,
  kFreqModLfo = 22,
  kAttackModEnv = 26,
  kDecayModEnv = 28,
  kSustainModEnv = 29,
  kReleaseModEnv = 30,
  kKeynumToModEnvDecay = 32,
  kAttackVolEnv = 34,
  kDecayVolEnv = 36,
  kSustainVolEnv = 37,
  kReleaseVolEnv = 38,
  kKeynumToVolEnvDecay = 40,
  kKeyRange = 43,
  kInitialAttenuation = 48,
  kVelRange = 44,
  kCoarseTune = 51,
  kFineTune = 52,
  kSampleModes = 54,
  kScaleTuning = 56,
  kOverridingRootKey = 58,
};
}  // namespace sf2

// Where the export has just written sample `sampleName` of the volume as a mono WAV file
// with its words unchanged, the file the builder would otherwise write as its temporary
// WAV; empty when it has not.
using WrittenSampleFiles = std::function<std::filesystem::path(const std::string& sampleName)>;

class SoundBankBuilder {
 public:
  // Generators written per zone by WriteZoneGenerators, in call order.
  static constexpr size_t kZoneGeneratorCount = 22;
  using ZoneGenerators = std::array<SFGenRecord, kZoneGeneratorCount>;

  // Status-bar warnings go to `statusLine` (not owned); null: standard error.
  explicit SoundBankBuilder(StatusLine* statusLine = nullptr);
  ~SoundBankBuilder();
  SoundBankBuilder(const SoundBankBuilder&) = delete;
  SoundBankBuilder& operator=(const SoundBankBuilder&) = delete;

  void SetStatusLine(StatusLine* statusLine);
  StatusLine& statusLine() const { return *statusLine_; }

  // Loads the engine library (by default "SFEDT32.DLL"; a Windows name or a host
  // path) and asks its "SFEditEngine" entry for the table. A library that cannot be
  // loaded is warned of once (Warn, in a plain box by default); a missing or refusing
  // entry silently leaves the builder without engine. Replaces any engine loaded before.
  void LoadEngine(const std::string& library = kEngineLibraryName);
  // Uses `api` (not owned) as the engine instead of a library.
  void UseEngine(EngineApi* api);
  void UnloadEngine();

  // Builds the bank of program `programName` in the given partition and volume of
  // `reader` and saves it to `outputPath`. Returns 1 when the bank was saved and
  // ended without error, else 0. Every failure gives its reason through Warn (a
  // message box unless a handler is set; a bank without samples goes to the status
  // line instead); never throws.
  int BuildSoundBank(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                     const char* programName, const std::filesystem::path& outputPath,
                     ProgressBar* progress);
  // Builds the bank of the program that `preset` describes (DescribeProgram over the
  // same reader); the zones' samples are loaded again, with their words. A sample that
  // `writtenFiles` names a file for is imported from that file instead, with no copy
  // of its own (or the usual way, should that file no longer be a WAV).
  int BuildSoundBank(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                     const ProgramPreset& preset, const std::filesystem::path& outputPath,
                     ProgressBar* progress, const WrittenSampleFiles& writtenFiles = {});

  // 1 when an engine is loaded; else warns "Could not perform task;\nthe SF2 engine
  // isn't running." and returns 0.
  int IsEngineRunning() const;
  // 1 when `result` is 0; else warns "error - unspecific error in SF2 engine" and
  // returns 0.
  static int CheckEngineResult(int result);
  // Writes the 22 generators of a zone (ZoneGeneratorsFor) through the engine; returns
  // 0 at the first failing call.
  int WriteZoneGenerators(SFHandle zone, const ZoneGenerators& generators);

 private:
  class Build;

  platform::HMODULE library_ = nullptr;
  EngineApi* api_ = nullptr;
  StatusLine* statusLine_ = nullptr;
};

// The generators of zone `zoneIndex` of `keygroup`, in the order they are written:
// root key, sample mode, the two envelopes, pan, tuning, key scaling, LFO and filter.
SoundBankBuilder::ZoneGenerators ZoneGeneratorsFor(const AkaiProgram& program,
                                                   const AkaiKeygroup& keygroup,
                                                   uint32_t zoneIndex, const AkaiSample& sample);

// The amount of generator `id` among `generators`, signed; 0 when it is not there.
int GeneratorAmount(const SoundBankBuilder::ZoneGenerators& generators, uint16_t id);

// AKAI 0..99 values to SoundFont units.
int AttackTimeCents(int value);      // time of e^(8.4 x/100 - 6.3) s in timecents
int DecayTimeCents(int value);       // time of e^(8.72 x/100 - 5.47) s in timecents
int KeyScaledDecay(int value);       // signed -50..+50 key scaling to timecents per key
int SustainAttenuation(int value);   // sustain level to centibels of attenuation
int FilterCutoffCents(int keygroupFilter, int zoneFilter);  // sum clamped to 0..99
