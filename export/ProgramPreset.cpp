#include "export/ProgramPreset.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "akai/AkaiException.h"
#include "akai/PlayLoopAndTuning.h"
#include "common/Warnings.h"
#include "export/ExportNames.h"

namespace {

constexpr const char* kSampleNotFound = "WARNING - Sample not found: ";
// initialFilterFc of an open filter: the highest cutoff the bank gives.
constexpr int kOpenFilterCents = 13500;

double TimeCentsToSeconds(int timeCents) { return std::exp2(timeCents / 1200.0); }

}  // namespace

int PresetZone::Generator(sf2::Generator id) const { return GeneratorAmount(generators, id); }

double PresetZone::AttackSeconds() const { return TimeCentsToSeconds(Generator(sf2::kAttackVolEnv)); }
double PresetZone::DecaySeconds() const { return TimeCentsToSeconds(Generator(sf2::kDecayVolEnv)); }
double PresetZone::ReleaseSeconds() const { return TimeCentsToSeconds(Generator(sf2::kReleaseVolEnv)); }
double PresetZone::SustainLevel() const { return std::pow(10.0, -Generator(sf2::kSustainVolEnv) / 200.0); }
// The bank's pan runs in 0.1 % units from -500 to 500.
double PresetZone::PanPercent() const { return Generator(sf2::kPan) / 5.0; }
double PresetZone::VolumeDecibels() const { return -Generator(sf2::kInitialAttenuation) / 10.0; }
bool PresetZone::FilterOpen() const { return Generator(sf2::kInitialFilterFc) >= kOpenFilterCents; }
// Absolute cents count from 8.176 Hz.
double PresetZone::CutoffHertz() const { return 8.176 * std::exp2(Generator(sf2::kInitialFilterFc) / 1200.0); }

ProgramPreset DescribeProgram(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                              StatusLine& warnings) {
  ProgramPreset preset;
  const AkaiProgram& program = reader.program();
  preset.program = program.name;
  // The keygroups actually decoded: a program cut short holds fewer than its header says.
  for (int k = 0; k < program.keygroups.Count(); ++k) {
    const AkaiKeygroup& keygroup = *program.keygroups.At(k);
    for (uint32_t z = 0; z < keygroup.zoneCount; ++z) {
      ++preset.listedZones;
      const AkaiVelocityZone& zone = keygroup.zones[z];
      try {
        reader.LoadSample(partition, volume, zone.sampleName, false);
      } catch (const AKAIException&) {
        warnings.SetStatusText(std::string(kSampleNotFound) + zone.sampleName);
        continue;
      }
      const AkaiSample& sample = reader.sample();
      preset.zones.push_back({zone.sampleName, ExportBaseName(zone.sampleName) + ".wav", keygroup.lowKey(),
                              keygroup.highKey(), zone.lowVelocity, zone.highVelocity,
                              ZoneGeneratorsFor(program, keygroup, z, sample), FindPlayLoopInside(sample)});
    }
  }
  return preset;
}

std::optional<ProgramPreset> ReadProgramPreset(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume,
                                               const char* programName, StatusLine& warnings) {
  try {
    reader.LoadProgram(partition, volume, programName);
    return DescribeProgram(reader, partition, volume, warnings);
  } catch (const std::exception&) {
    // A sample read error or a loop table that contradicts itself (CodedError), or
    // memory that ran out: told as a read error, as the bank builder tells them.
    Warn(kProgramReadErrorText);
    return std::nullopt;
  }
}
