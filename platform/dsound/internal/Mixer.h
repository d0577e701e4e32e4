#pragma once
// The mix: every playing buffer of a device converted to the mix format (2 channels,
// 16 bits, the mix rate), added up and clipped. Used by the backends that deliver
// sound (a sound card, a file); private to platform/dsound.

#include <map>
#include <memory>
#include <vector>

#include "platform/dsound/SoundBackend.h"

namespace platform {

// Delivers one buffer's frames at another rate and as stereo. A buffer at the mix
// rate is copied; other rates are resampled.
class FormatConverter {
 public:
  FormatConverter(const WAVEFORMATEX& from, DWORD mixRate);
  ~FormatConverter();
  FormatConverter(const FormatConverter&) = delete;
  FormatConverter& operator=(const FormatConverter&) = delete;

  // Moves `buffer`'s play cursor by what `frames` mix frames need and adds them to
  // `mix` (interleaved left/right sums). A buffer that stops leaves the rest silent.
  void MixInto(SoftwareBuffer& buffer, int32_t* mix, DWORD frames);

 private:
  class Resampler;
  void CopyInto(SoftwareBuffer& buffer, int32_t* mix, DWORD frames);

  const WAVEFORMATEX from_;
  std::unique_ptr<Resampler> resampler_;  // null at the mix rate
};

class Mixer {
 public:
  // Fills `frames` stereo frames of `out` with the mix of `device`'s playing buffers.
  void Mix(SoftwareDevice& device, DWORD mixRate, int16_t* out, DWORD frames);

 private:
  std::map<uint64_t, std::unique_ptr<FormatConverter>> converters_;  // by buffer id
  std::vector<int32_t> sums_;
};

}  // namespace platform
