#pragma once
// The cells of the item view and the data words of both views' rows.

#include <cstdint>
#include <string>

#include "akai/VolumeItems.h"

// "10239 Bytes", "10.0 kB", "0.50 MB", "1.0 MB".
std::string FormatSize(uint32_t bytes);
// "01h:02m:03.004s", "01m:01.005s", " 0.999s".
std::string FormatDuration(uint64_t milliseconds);
// "C3 (60)": the key as the sampler shows it, and its MIDI number.
std::string FormatKey(uint8_t key);
// A sample's fields in one line (the row's tooltip and status tip); "" for programs
// and samples whose header could not be read.
std::string FormatDetails(const VolumeItem& item);

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
