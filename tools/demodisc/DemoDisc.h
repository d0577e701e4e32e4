#pragma once
// The demo disc: a small AKAI S1000/S3000 disc of synthesized sounds, written at build
// time so that Carvox can be tried without owning a sample CD-ROM. Everything on it is
// computed from fixed formulas (no clock, no random seed), so every build writes the
// same bytes.
//
//   Partition A  volume SYNTH KEYS  S1000 program SYNTH KEYS: 5 keygroups over the
//                                   whole keyboard, one looped sawtooth per octave
//                volume DRUMS       one-shot KICK, SNARE, HAT (no program)
//   Partition B  volume PLUCK VELO  S3000 program PLUCK VELO: 3 keygroups of 3
//                                   velocity zones (soft, medium, hard plucks)
//                volume PADS        looped PAD A2 and SINE A3
//
// docs/demo-disc.md lists every sample with its form, rate, root key and loop.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tools/akaiimage/AkaiImageBuilder.h"

namespace demodisc {

// The disc, ready for akaiimage::WriteImage.
akaiimage::DiscDescription DemoDisc();

// Writes the disc to `path`. Throws what akaiimage::WriteImage throws.
akaiimage::ImageLayout WriteDemoDisc(const std::filesystem::path& path);

// A large disc for benchmarks, made the way the demo disc's looped tones are:
// `samples` looped tones of `seconds` each at 44100 Hz (keys 36 to 83, S1000 and S3000
// samples in turn), ten to a volume, in as many partitions as their blocks need (each
// well below the 65,536 blocks a partition table can describe).
akaiimage::DiscDescription LargeDisc(int samples, double seconds);

// A tone at MIDI key `key` (A3 = 69 = 440 Hz and C3 = 60, the sampler's naming) whose
// steady part repeats exactly every `loopLength` words, so that a loop over its last
// `loopLength` words is seamless. The tone rises over a hundredth of a second, then
// holds; `harmonics` partials of a sawtooth.
struct LoopedTone {
  std::vector<int16_t> words;
  uint32_t loopLength = 0;  // whole periods of the tone
};
LoopedTone MakeLoopedTone(uint32_t sampleRate, int key, int harmonics, double seconds);

}  // namespace demodisc
