#pragma once
// Samples built in memory, and libsndfile as the independent reader of
// the WAV files the audio code writes.

#include <sndfile.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "akai/AkaiRecords.h"
#include "tests/platform/mmio/RiffBytes.h"

namespace audiotest {

using namespace rifftest;

inline AkaiSample MakeSample(const std::vector<int16_t>& words, uint16_t rate, uint8_t key = 60) {
  AkaiSample sample;
  sample.originalKey = key;
  std::strcpy(sample.name, "TEST");
  sample.sampleCount = static_cast<uint32_t>(words.size());
  sample.endMarker = sample.sampleCount - 1;
  sample.sampleRate = rate;
  sample.data = std::make_unique<int16_t[]>(words.size());
  std::copy(words.begin(), words.end(), sample.data.get());
  return sample;
}

// Gives the sample one play loop: `length` words from `start`.
inline void SetLoop(AkaiSample& sample, uint32_t start, uint32_t length) {
  sample.loops[0] = AkaiLoop{start + length, 0, length, 1};
}

inline std::vector<int16_t> Ramp(size_t count) {
  std::vector<int16_t> words(count);
  for (size_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>(i * 7 - 3000);
  return words;
}

// What libsndfile makes of a WAV file.
struct SndfileView {
  SF_INFO info{};
  std::vector<int16_t> words;
  bool hasInstrument = false;
  SF_INSTRUMENT instrument{};
};

inline std::optional<SndfileView> ReadWithSndfile(const std::filesystem::path& path) {
  SndfileView view;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &view.info);
  if (file == nullptr) return std::nullopt;
  view.words.resize(static_cast<size_t>(view.info.frames * view.info.channels));
  const sf_count_t read = sf_read_short(file, view.words.data(), static_cast<sf_count_t>(view.words.size()));
  view.words.resize(static_cast<size_t>(read));
  view.hasInstrument = sf_command(file, SFC_GET_INSTRUMENT, &view.instrument, sizeof view.instrument) == SF_TRUE;
  sf_close(file);
  return view;
}

// Writes `words` (interleaved) as a WAV file through libsndfile, in `subformat`.
inline bool WriteWithSndfile(const std::filesystem::path& path, const std::vector<int16_t>& words, int channels,
                             int rate, int subformat) {
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = SF_FORMAT_WAV | subformat;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const sf_count_t written = sf_write_short(file, words.data(), static_cast<sf_count_t>(words.size()));
  sf_close(file);
  return written == static_cast<sf_count_t>(words.size());
}

}  // namespace audiotest
