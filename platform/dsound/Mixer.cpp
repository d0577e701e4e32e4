#include "platform/dsound/internal/Mixer.h"

#include <algorithm>

namespace platform {

void Mixer::Mix(SoftwareDevice& device, DWORD mixRate, int16_t* out, DWORD frames) {
  sums_.assign(static_cast<size_t>(frames) * 2, 0);
  std::map<uint64_t, std::unique_ptr<FormatConverter>> used;
  device.ForEachPlaying([&](SoftwareBuffer& buffer) {
    auto found = converters_.find(buffer.id());
    std::unique_ptr<FormatConverter> converter =
        found != converters_.end() ? std::move(found->second)
                                   : std::make_unique<FormatConverter>(buffer.format(), mixRate);
    converter->MixInto(buffer, sums_.data(), frames);
    used[buffer.id()] = std::move(converter);
  });
  // Buffers that stopped take their converters with them.
  converters_ = std::move(used);
  for (size_t i = 0; i < sums_.size(); ++i) out[i] = static_cast<int16_t>(std::clamp(sums_[i], -32768, 32767));
}

}  // namespace platform
