#pragma once
// Sample data is used as it lies on the disc: signed 16-bit little-endian mono words at
// the header's sample rate. This is the format record that describes it (to the sound
// output and in WAV files) and the one signal operation applied to it.

#include <cstdint>

inline constexpr uint16_t kPcmFormatTag = 1;

#pragma pack(push, 1)
// The 18-byte wave format record, fields in file order.
struct PcmFormat {
  uint16_t formatTag = kPcmFormatTag;
  uint16_t channels = 1;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(PcmFormat) == 18);

// The format of a sample's data: PCM, one channel, `sampleRate`, 16 bits.
PcmFormat PcmFormatForRate(uint32_t sampleRate);

// Scales `count` words in place so that the largest magnitude becomes 32767 (the word
// -32768 counts as 32768). Scaled values are truncated toward zero, so nothing clips;
// silence and empty data stay as they are. Callers pass a private copy of the data.
void NormalizePeak(int16_t* words, uint32_t count);
