#pragma once
// Copies of built images as a CD copier writes them: raw 2352-byte sectors (sync
// pattern, header with address and mode, data; error-correction bytes left zero,
// as no reader of the data needs them) and a cue sheet naming the data file.

#include <filesystem>
#include <string>

namespace akaiimage {

enum class RawSectorMode { Mode1, Mode2Form1 };

// Writes the 2048-byte sectors of `cooked` as raw sectors to `raw` (created or
// replaced). A partial last sector is written zero-padded. Throws std::system_error.
void WriteRawSectorImage(const std::filesystem::path& cooked, const std::filesystem::path& raw, RawSectorMode mode);

// The cue sheet of one data track in `dataFile` (as the sheet names it).
std::string CueSheet(const std::string& dataFile, RawSectorMode mode);

}  // namespace akaiimage
