#pragma once
// One description of a program for every format the export writes: per zone, what its
// SoundFont bank holds (sample, key and velocity ranges, the generators of
// ZoneGeneratorsFor, the loop), computed once per program. The bank builder writes the
// bank from it; the preset writers (PresetWriter.h) turn the same values into their
// own units, so that every preset sounds as the bank does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"
#include "export/ExportFeedback.h"
#include "export/SoundBankBuilder.h"

struct PresetZone {
  std::string sampleName;  // as the program names it: the reader's lookups use it
  std::string wavFile;     // the exported WAV file of the sample, beside the preset
  uint8_t lowKey = 0;
  uint8_t highKey = 127;
  uint8_t lowVelocity = 0;
  uint8_t highVelocity = 127;
  SoundBankBuilder::ZoneGenerators generators{};
  PlayLoop loop;  // the sample's play loop; it plays only when Looped()

  // The amount of generator `id` (0 when the zone has none), signed.
  int Generator(sf2::Generator id) const;
  bool Looped() const { return Generator(sf2::kSampleModes) == 1; }
  uint32_t LoopEnd() const { return loop.start + loop.length - 1; }  // inclusive
  bool FollowsKeys() const { return Generator(sf2::kScaleTuning) != 0; }
  int RootKey() const { return Generator(sf2::kOverridingRootKey); }
  int TransposeSemitones() const { return Generator(sf2::kCoarseTune); }
  int TuneCents() const { return Generator(sf2::kFineTune); }
  double AttackSeconds() const;
  double DecaySeconds() const;
  double ReleaseSeconds() const;
  double SustainLevel() const;  // 0..1 of full level
  double PanPercent() const;    // -100 (left) .. 100 (right)
  double VolumeDecibels() const;
  bool FilterOpen() const;
  double CutoffHertz() const;
};

struct ProgramPreset {
  std::string program;  // the program's name
  std::string disc;     // the disc's name for headers; may be empty
  std::string volume;   // "A/NAME"; may be empty
  int listedZones = 0;  // used zones of the decoded keygroups, samples found or not
  std::vector<PresetZone> zones;  // the zones whose sample the volume holds, in order
};

// Describes the program that `reader` holds (LoadProgram done) from partition
// `partition`, volume `volume`: loads each zone's sample header. A zone whose sample
// the volume does not hold is reported on `warnings` ("WARNING - Sample not found:
// NAME") and left out; read errors pass through as the reader throws them.
ProgramPreset DescribeProgram(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                              StatusLine& warnings);

// Loads program `programName` and describes it. Warns "Error while trying to read the
// CD." (Warn) and returns nothing when the program or one of its samples cannot be read.
std::optional<ProgramPreset> ReadProgramPreset(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                                               const char* programName, StatusLine& warnings);

// The message shown when a program cannot be read.
inline constexpr const char* kProgramReadErrorText = "Error while trying to read the CD.";
