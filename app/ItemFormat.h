#pragma once
// The cells of the item view and the keys it sorts by.

#include <cstdint>
#include <string>

#include "akai/AkaiVolumeReader.h"

// "10239 Bytes", "10.0 kB", "0.50 MB", "1.0 MB".
std::string FormatSize(uint32_t bytes);
// "01h:02m:03.004s", "01m:01.005s", " 0.999s".
std::string FormatDuration(uint64_t milliseconds);

// The Length column's measure: the file's byte length divided by the rate in kHz,
// truncated; 0 for a rate of 0 (programs, and samples whose header says 0 Hz), so such
// rows sort first when ascending and show no length. Kept in 64 bits: a 16 MB file at
// 1 Hz lasts longer than 32 bits of milliseconds.
uint64_t LengthKey(uint32_t bytes, uint32_t rate);

// The loop that looped play repeats: the play loop when it lies inside the data, else
// the whole sample.
PlayLoop LoopForPlay(const AkaiSample& sample);

// Row data words. Contents view: partition in bits 24..31, volume in 16..23, row number
// in 0..15. Item view: kind in 16..23 (1 sample, 2 program; readers test 16..19), row
// number in 0..15.
inline constexpr uint32_t kSampleRow = 1;
inline constexpr uint32_t kProgramRow = 2;
inline uint32_t ContentsDataWord(uint32_t partition, uint32_t volume, uint32_t row) {
  return (partition << 24) + (volume << 16) + (row & 0xFFFF);
}
inline uint32_t ItemDataWord(uint32_t kind, uint32_t row) { return kind * 65536 + (row & 0xFFFF); }
inline uint32_t RowNumber(uint32_t data) { return data & 0xFFFF; }
inline uint32_t ItemKind(uint32_t data) { return (data >> 16) & 0xF; }
