#pragma once
// The two calculations that playback and every export share: the loop used for looped
// play, and the coarse/fine tuning of a program zone.

#include <cstdint>

#include "akai/AkaiRecords.h"

// The loop used for looped play, the WAV loop and the SoundFont loop: start and
// length in words relative to the played data; (0, 0) when no loop is used.
struct PlayLoop {
  uint32_t start = 0;
  uint32_t length = 0;
};
PlayLoop FindPlayLoop(const AkaiSample& sample);

// The play loop when it lies inside the played data, else (0, 0): a damaged loop
// table must not send a player past the last word. WAV files and banks loop by this.
PlayLoop FindPlayLoopInside(const AkaiSample& sample);

struct ZoneTuning {
  int16_t coarse = 0;  // semitones
  int16_t fine = 0;    // cents
};
ZoneTuning ComputeZoneTuning(int8_t zoneSemitones, int8_t zoneCents, int8_t keygroupSemitones,
                             int8_t keygroupCents, int8_t sampleSemitones, int8_t sampleCents,
                             uint32_t nominalRate, uint32_t sampleRate);
