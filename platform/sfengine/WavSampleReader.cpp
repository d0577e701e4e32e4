#include "platform/sfengine/internal/WavSampleReader.h"

#include <algorithm>
#include <array>

#include "platform/mmio/Mmio.h"

namespace sfengine {
namespace {

using namespace platform;

constexpr WORD kFormatPcm = 1;
constexpr uint8_t kDefaultRootKey = 60;
constexpr uint8_t kHighestKey = 127;
constexpr std::size_t kFormatBytes = 16;       // the PCM fields of "fmt "
constexpr std::size_t kSamplerHeaderBytes = 36;
constexpr std::size_t kSamplerLoopBytes = 24;  // one loop record after the header

uint32_t U32At(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t U16At(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

// Enters the chunk `id` of the RIFF form, wherever it lies among its chunks.
bool FindChunk(HMMIO file, const MMCKINFO& riff, const char (&id)[5], MMCKINFO& chunk) {
  if (mmioSeek(file, static_cast<LONG>(riff.dwDataOffset + 4), SEEK_SET) < 0) return false;
  chunk = MMCKINFO{};
  chunk.ckid = mmioFOURCC(id[0], id[1], id[2], id[3]);
  return mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
}

bool ReadExactly(HMMIO file, char* buffer, std::size_t size) {
  return mmioRead(file, buffer, static_cast<LONG>(size)) == static_cast<LONG>(size);
}

// Rate of a 16-bit mono PCM "fmt " chunk; 0 for any other format.
uint32_t ReadMonoPcmRate(HMMIO file, const MMCKINFO& riff) {
  MMCKINFO format;
  std::array<char, kFormatBytes> fields;
  if (!FindChunk(file, riff, "fmt ", format) || format.cksize < kFormatBytes ||
      !ReadExactly(file, fields.data(), fields.size())) {
    return 0;
  }
  const bool monoPcm = U16At(&fields[0]) == kFormatPcm && U16At(&fields[2]) == 1 &&
                       U16At(&fields[14]) == 16;
  return monoPcm ? U32At(&fields[4]) : 0;
}

// Hands the words of the "data" chunk to the store; a size field larger than the file
// fails.
bool StoreWords(HMMIO file, const MMCKINFO& riff, SampleStore& store, SoundFontSample& sample) {
  MMCKINFO data;
  if (!FindChunk(file, riff, "data", data) || data.cksize < 2) return false;
  const uint32_t words = data.cksize / 2;
  const std::optional<StoredWords> at = store.Take(mmioDescriptor(file), data.dwDataOffset, 2 * uint64_t{words});
  if (!at) return false;
  sample.words = *at;
  sample.wordCount = words;
  return true;
}

// Root key, pitch correction and the first loop from the "smpl" chunk, if any.
void ReadSamplerChunk(HMMIO file, const MMCKINFO& riff, SoundFontSample& sample) {
  MMCKINFO sampler;
  std::array<char, kSamplerHeaderBytes + kSamplerLoopBytes> record{};
  if (!FindChunk(file, riff, "smpl", sampler) || sampler.cksize < kSamplerHeaderBytes) return;
  const std::size_t size = std::min<std::size_t>(sampler.cksize, record.size());
  if (!ReadExactly(file, record.data(), size)) return;

  const uint32_t unityNote = U32At(&record[12]);
  if (unityNote <= kHighestKey) sample.originalPitch = static_cast<uint8_t>(unityNote);
  // The pitch fraction counts 1/2^32 of a semitone upwards.
  sample.pitchCorrection = static_cast<int8_t>((uint64_t{U32At(&record[16])} * 100) >> 32);

  const uint32_t loops = U32At(&record[28]);
  if (loops == 0 || size < record.size()) return;
  const uint64_t count = sample.wordCount;
  const uint64_t start = std::min<uint64_t>(U32At(&record[44]), count);
  const uint64_t end = std::min<uint64_t>(uint64_t{U32At(&record[48])} + 1, count);
  if (end <= start) return;
  sample.loopStart = static_cast<uint32_t>(start);
  sample.loopEnd = static_cast<uint32_t>(end);
}

}  // namespace

std::optional<SoundFontSample> ReadWavSample(const std::filesystem::path& path, SampleStore& store) {
  UniqueMmio file(mmioOpen(path, MMIO_READ));
  if (!file) return std::nullopt;
  MMCKINFO riff;
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return std::nullopt;

  SoundFontSample sample;
  sample.originalPitch = kDefaultRootKey;
  sample.rate = ReadMonoPcmRate(file.get(), riff);
  if (sample.rate == 0 || !StoreWords(file.get(), riff, store, sample)) return std::nullopt;
  ReadSamplerChunk(file.get(), riff, sample);
  return sample;
}

}  // namespace sfengine
