#pragma once
// Strict readers of the SFZ and Decent Sampler presets the export writes, written from
// the formats' public descriptions: an opcode, element or attribute they do not know
// is an error (std::runtime_error), so that a preset never carries what a player
// would ignore. Both give each zone's values in the same units, with the values of
// enclosing headers and elements applied.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct PresetZoneValues {
  std::string sample;  // path as written
  int lowKey = 0, highKey = 127, lowVelocity = 1, highVelocity = 127;
  int rootKey = 60;
  double tuningCents = 0;  // whole tuning of the zone
  bool followsKeys = true;
  bool looped = false;
  long loopStart = -1, loopEnd = -1;  // frames, end inclusive; -1: not given
  double attack = 0, decay = 0, sustain = 1, release = 0;  // seconds; sustain 0..1
  double pan = 0;          // -100..100
  double cutoffHertz = 0;  // 0: no filter
  double volumeDecibels = 0;
};

std::vector<PresetZoneValues> ReadSfzPreset(const std::filesystem::path& file);
std::vector<PresetZoneValues> ReadDecentSamplerPreset(const std::filesystem::path& file);

}  // namespace testsupport
