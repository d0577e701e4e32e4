// Rate and channel conversion of one buffer to the mix format. libsamplerate resamples;
// ratios beyond its range (rates below 1/256 of the mix rate) hold each frame instead.

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dsound/internal/Mixer.h"

namespace platform {
namespace {

constexpr long kPullFrames = 256;

int16_t WordAt(const uint8_t* bytes) {
  int16_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

}  // namespace

class FormatConverter::Resampler {
 public:
  Resampler(const WAVEFORMATEX& from, DWORD mixRate)
      : channels_(from.nChannels),
        blockAlign_(from.nBlockAlign),
        ratio_(static_cast<double>(mixRate) / from.nSamplesPerSec),
        input_(static_cast<size_t>(kPullFrames) * channels_),
        held_(channels_, 0.0f) {
    if (src_is_valid_ratio(ratio_)) {
      int error = 0;
      state_ = src_callback_new(&Resampler::Pull, SRC_SINC_FASTEST, channels_, &error, this);
    }
  }
  ~Resampler() {
    if (state_ != nullptr) src_delete(state_);
  }
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  int channels() const { return channels_; }

  // Makes up to `frames` frames (interleaved floats) from `buffer`; fewer once it stops.
  long Read(SoftwareBuffer& buffer, float* out, long frames) {
    buffer_ = &buffer;
    const long made = state_ != nullptr ? src_callback_read(state_, ratio_, frames, out) : Hold(out, frames);
    buffer_ = nullptr;
    return std::max(made, 0L);
  }

 private:
  // libsamplerate asks for input: the next frames the buffer plays.
  static long Pull(void* self, float** data) {
    auto& resampler = *static_cast<Resampler*>(self);
    size_t words = 0;
    const auto take = [&](const uint8_t* bytes, DWORD count) {
      for (DWORD i = 0; i < count; i += 2) resampler.input_[words++] = WordAt(bytes + i) / 32768.0f;
    };
    resampler.buffer_->Advance(static_cast<DWORD>(kPullFrames * resampler.blockAlign_), take);
    *data = resampler.input_.data();
    return static_cast<long>(words / resampler.channels_);
  }

  // Sample and hold: each input frame is repeated for as long as it lasts.
  long Hold(float* out, long frames) {
    const double step = 1.0 / ratio_;
    for (long i = 0; i < frames; ++i) {
      while (phase_ >= 1.0) {
        const DWORD moved = buffer_->Advance(blockAlign_, [&](const uint8_t* bytes, DWORD) {
          for (int c = 0; c < channels_; ++c) held_[c] = WordAt(bytes + 2 * c) / 32768.0f;
        });
        if (moved == 0) return i;
        phase_ -= 1.0;
      }
      std::copy(held_.begin(), held_.end(), out + i * channels_);
      phase_ += step;
    }
    return frames;
  }

  const int channels_;
  const DWORD blockAlign_;
  const double ratio_;
  SRC_STATE* state_ = nullptr;
  SoftwareBuffer* buffer_ = nullptr;  // during Read
  std::vector<float> input_;
  std::vector<float> held_;
  double phase_ = 1.0;
};

FormatConverter::FormatConverter(const WAVEFORMATEX& from, DWORD mixRate) : from_(from) {
  if (from.nSamplesPerSec != mixRate) resampler_ = std::make_unique<Resampler>(from, mixRate);
}

FormatConverter::~FormatConverter() = default;

void FormatConverter::MixInto(SoftwareBuffer& buffer, int32_t* mix, DWORD frames) {
  if (resampler_ == nullptr) {
    CopyInto(buffer, mix, frames);
    return;
  }
  const int channels = resampler_->channels();
  std::vector<float> converted(static_cast<size_t>(frames) * channels);
  const long made = resampler_->Read(buffer, converted.data(), static_cast<long>(frames));
  for (long i = 0; i < made; ++i) {
    const float* frame = converted.data() + i * channels;
    mix[2 * i] += static_cast<int32_t>(std::lrint(frame[0] * 32768.0f));
    mix[2 * i + 1] += static_cast<int32_t>(std::lrint(frame[channels - 1] * 32768.0f));
  }
}

// At the mix rate the words pass unchanged; mono feeds both channels.
void FormatConverter::CopyInto(SoftwareBuffer& buffer, int32_t* mix, DWORD frames) {
  const int channels = from_.nChannels;
  DWORD frame = 0;
  buffer.Advance(frames * from_.nBlockAlign, [&](const uint8_t* bytes, DWORD count) {
    for (DWORD i = 0; i < count; i += from_.nBlockAlign, ++frame) {
      mix[2 * frame] += WordAt(bytes + i);
      mix[2 * frame + 1] += WordAt(bytes + i + 2 * (channels - 1));
    }
  });
}

}  // namespace platform
