#include "audio/Pcm.h"

#include <cstdlib>

PcmFormat PcmFormatForRate(uint32_t sampleRate) {
  PcmFormat format;
  format.samplesPerSec = sampleRate;
  format.avgBytesPerSec = 2 * sampleRate;
  return format;
}

void NormalizePeak(int16_t* words, uint32_t count) {
  int32_t peak = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t magnitude = std::abs(int32_t{words[i]});
    if (magnitude > peak) peak = magnitude;
  }
  if (peak == 0) return;
  const double factor = 32767.0 / peak;
  for (uint32_t i = 0; i < count; ++i) {
    // The conversion truncates toward zero: |result| <= 32767.
    words[i] = static_cast<int16_t>(words[i] * factor);
  }
}
