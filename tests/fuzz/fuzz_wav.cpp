// The WAV readers: the playback engine's file source (open, then reads at the start,
// the middle and past the end) and the SoundFont engine's sample import.

#include "audio/WavFile.h"
#include "platform/sfengine/internal/WavSampleReader.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = fuzzsupport::WriteScratch("input.wav", data, size);
  sfengine::SampleStore store;
  (void)sfengine::ReadWavSample(path, store);

  WavFileSource source;
  source.UseFile(path);
  PcmFormat format{};
  if (source.Open(format)) {
    const uint32_t total = source.TotalWords();
    for (uint32_t index : {0u, total / 2, total, total + 7}) {
      if (source.ReadAt(index, 4096)) (void)source.Fetch(index, 4096);
    }
    source.Close();
  }
  return 0;
}
