#include "akai/PlayLoopAndTuning.h"

#include <bit>
#include <cmath>

#include "akai/AkaiException.h"

PlayLoop FindPlayLoop(const AkaiSample& sample) {
  // Unsigned arithmetic throughout: a loop table with length > end wraps to a huge
  // start and therefore never wins against a real loop.
  const uint32_t limit = sample.sampleCount + 1;
  uint32_t best = limit;
  for (const AkaiLoop& loop : sample.loops) {
    if (loop.end == 0 && loop.length == 0) break;
    if (loop.time == 0) continue;
    const uint32_t start = loop.end - loop.length;
    if (start < best) best = start;
  }
  if (best == limit) return {};

  // The entry returned is the first of all eight (whatever its time) that starts at
  // the earliest start found above.
  for (const AkaiLoop& loop : sample.loops) {
    if (loop.end - loop.length == best) return {best, loop.length};
  }
  // Cannot happen: `best` was taken from one of these entries, so the search above
  // always finds one. Kept as a guard should the first search ever change.
  throw AKAIException{AKAIException::kContradictoryLoops};
}

PlayLoop FindPlayLoopInside(const AkaiSample& sample) {
  const PlayLoop loop = FindPlayLoop(sample);
  if (loop.length == 0 || uint64_t{loop.start} + loop.length > sample.sampleCount) return {};
  return loop;
}

namespace {

// Turns a cents byte (about +-127 for +-50 cents) into cents: 1 / 2.54, exactly the
// double with bits 3FD93264C993264C.
const double kCentsFactor = std::bit_cast<double>(0x3FD93264C993264CULL);

// A cents byte is signed when its level has no semitone offset; with a semitone
// offset the sampler treats the same byte as unsigned (0..255).
int CentsValue(int8_t cents, int8_t semitones) {
  return semitones == 0 ? cents : static_cast<uint8_t>(cents);
}

int ScaledCents(int8_t cents, int8_t semitones) {
  return static_cast<int>(std::trunc(CentsValue(cents, semitones) * kCentsFactor));
}

}  // namespace

ZoneTuning ComputeZoneTuning(int8_t zoneSemitones, int8_t zoneCents, int8_t keygroupSemitones,
                             int8_t keygroupCents, int8_t sampleSemitones, int8_t sampleCents,
                             uint32_t nominalRate, uint32_t sampleRate) {
  int coarse = zoneSemitones;
  int fine = ScaledCents(zoneCents, zoneSemitones);

  coarse += keygroupSemitones;
  fine += ScaledCents(keygroupCents, keygroupSemitones);

  // A sample recorded at another rate than the nominal one plays off pitch by h
  // semitones; split h into whole semitones and cents, both truncated toward zero.
  if (nominalRate != 0 && sampleRate != 0) {
    const double h = 12.0 * std::log2(static_cast<double>(sampleRate) / nominalRate);
    const double wholeSemitones = std::trunc(h);
    coarse -= static_cast<int>(wholeSemitones);
    fine += static_cast<int>(std::trunc((h - wholeSemitones) * -100.0));
  }

  coarse += sampleSemitones;
  fine += ScaledCents(sampleCents, sampleSemitones);
  return {static_cast<int16_t>(coarse), static_cast<int16_t>(fine)};
}
