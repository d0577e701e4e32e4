#pragma once
// Reads the sample of a WAV file for a bank: 16-bit mono PCM words (copied file to
// file into the bank's store), the rate, and from the "smpl" chunk the unity note, the
// pitch fraction and the first loop.

#include <filesystem>
#include <optional>

#include "platform/sfengine/internal/SoundFontBank.h"

namespace sfengine {

// The sample (without a name), its words appended to `store`; or nothing when the file
// is missing, unreadable, cut short, not a WAVE file, not 16-bit mono PCM, has a rate
// of 0 or holds no words, or the store cannot take the words. Without a "smpl" chunk
// the original pitch is 60 and there is no loop. The WAV loop end is the last word of
// the loop; the sample's end is one past it. Loop points outside the sample are
// clamped to it; a loop left empty is dropped.
std::optional<SoundFontSample> ReadWavSample(const std::filesystem::path& path, SampleStore& store);

}  // namespace sfengine
