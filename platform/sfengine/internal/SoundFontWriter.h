#pragma once
// Writes a SoundFontBank as a SoundFont 2.01 file.

#include <filesystem>

#include "platform/sfengine/internal/SoundFontBank.h"

namespace sfengine {

enum class WriteResult {
  Ok,
  FileError,  // the file could not be created, written or put in place
  TooLarge,   // the bank does not fit the format's 16- and 32-bit fields
};

// Writes to a temporary file beside `path` and renames it into place, so that a failed
// save leaves neither a partial file nor a damaged earlier file of that name.
WriteResult WriteSoundFont(const SoundFontBank& bank, const std::filesystem::path& path);

}  // namespace sfengine
