#include "audio/WavFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <functional>
#include <system_error>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"
#include "common/Warnings.h"

namespace fs = std::filesystem;
using platform::HMMIO;
using platform::LONG;
using platform::MMCKINFO;
using platform::mmioFOURCC;

// Format records and sampler fields are written as they lie in memory.
static_assert(std::endian::native == std::endian::little, "WAV files are little-endian");

namespace {

constexpr platform::FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr platform::FOURCC kFormatChunk = mmioFOURCC('f', 'm', 't', ' ');
constexpr platform::FOURCC kDataChunk = mmioFOURCC('d', 'a', 't', 'a');
constexpr platform::FOURCC kSamplerChunk = mmioFOURCC('s', 'm', 'p', 'l');

// The "smpl" body: nine fields, then one loop record of six fields when there is a loop.
using SamplerRecord = std::array<uint32_t, 15>;
constexpr uint32_t kSamplerBytesWithoutLoop = 36;
constexpr uint32_t kSamplerBytesWithLoop = 60;
// Everything but the words: RIFF header and form, "fmt ", "data" header, "smpl".
constexpr uint64_t kWavOverheadBytes = 12 + 8 + sizeof(PcmFormat) + 8 + 8 + kSamplerBytesWithLoop;

bool ReportWriteFailure() {
  Warn(kWavWriteFailedText);
  return false;
}

// A sample without a rate has no sample period and plays nowhere; offsets past 2 GiB
// do not fit the file functions.
bool CanBeWritten(const AkaiSample& sample, uint32_t channels) {
  if (sample.sampleRate == 0) return false;
  return uint64_t{sample.sampleCount} * 2 * channels + kWavOverheadBytes <= uint64_t{INT32_MAX};
}

// The words of the "data" chunk: the sample's own, or frames of the sample's word
// (left) and the right channel's word.
std::unique_ptr<int16_t[]> Interleave(const int16_t* left, const int16_t* right, uint32_t count) {
  auto frames = std::make_unique_for_overwrite<int16_t[]>(size_t{count} * 2);
  for (uint32_t i = 0; i < count; ++i) {
    frames[2 * size_t{i}] = left[i];
    frames[2 * size_t{i} + 1] = right[i];
  }
  return frames;
}

// A folder of that name is never replaced by the file.
bool RemoveExisting(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) return true;
  if (error || fs::is_directory(status)) return false;
  return fs::remove(path, error) && !error;
}

SamplerRecord MakeSamplerRecord(const AkaiSample& sample, const PlayLoop& loop) {
  SamplerRecord record{};
  record[2] = 1000000000u / sample.sampleRate;  // sample period in nanoseconds
  record[3] = sample.originalKey;               // MIDI unity note
  if (loop.length > 0) {
    record[7] = 1;  // loop count; identifier, type (forward), fraction, play count stay 0
    record[11] = loop.start;
    record[12] = loop.start + loop.length - 1;  // inclusive end
  }
  return record;
}

// Writes a chunk's body at the file's position.
using BodyWriter = std::function<bool(HMMIO)>;

BodyWriter Bytes(const void* bytes, uint32_t size) {
  return [bytes, size](HMMIO file) {
    return size == 0 ||
           platform::mmioWrite(file, static_cast<const char*>(bytes), static_cast<LONG>(size)) == static_cast<LONG>(size);
  };
}

bool WriteChunk(HMMIO file, platform::FOURCC id, const BodyWriter& writeBody) {
  MMCKINFO chunk;
  chunk.ckid = id;
  if (platform::mmioCreateChunk(file, &chunk, 0) != platform::MMSYSERR_NOERROR) return false;
  if (!writeBody(file)) return false;
  return platform::mmioAscend(file, &chunk, 0) == platform::MMSYSERR_NOERROR;
}

bool WriteChunks(HMMIO file, const AkaiSample& sample, uint16_t channels, const PlayLoop& loop,
                 const BodyWriter& writeData) {
  MMCKINFO riff;
  riff.fccType = kWave;
  if (platform::mmioCreateChunk(file, &riff, platform::MMIO_CREATERIFF) != platform::MMSYSERR_NOERROR) {
    return false;
  }
  PcmFormat format = PcmFormatForRate(sample.sampleRate);
  format.channels = channels;
  format.blockAlign = static_cast<uint16_t>(2 * channels);
  format.avgBytesPerSec *= channels;
  if (!WriteChunk(file, kFormatChunk, Bytes(&format, sizeof format))) return false;
  if (!WriteChunk(file, kDataChunk, writeData)) return false;
  const SamplerRecord record = MakeSamplerRecord(sample, loop);
  if (!WriteChunk(file, kSamplerChunk,
                  Bytes(record.data(), loop.length > 0 ? kSamplerBytesWithLoop : kSamplerBytesWithoutLoop))) {
    return false;
  }
  return platform::mmioAscend(file, &riff, 0) == platform::MMSYSERR_NOERROR;
}

// The "data" body from memory: the sample's words, framed with `right`, normalized on
// request.
bool WriteWords(HMMIO file, const AkaiSample& sample, const int16_t* right, bool normalize) {
  const uint32_t count = sample.sampleCount * (right != nullptr ? 2 : 1);
  const int16_t* words = sample.data.get();
  std::unique_ptr<int16_t[]> copy;
  if (right != nullptr && count > 0) {
    copy = Interleave(words, right, sample.sampleCount);
    words = copy.get();
  }
  if (normalize && count > 0) {
    if (!copy) {
      copy = std::make_unique_for_overwrite<int16_t[]>(count);
      std::copy_n(words, count, copy.get());
    }
    // One gain for both channels keeps the stereo image.
    NormalizePeak(copy.get(), count);
    words = copy.get();
  }
  return Bytes(words, 2 * count)(file);
}

// Writes the whole file, its "data" body by `writeData`; false (leaving no file) on any
// failure, without a message.
bool WriteFile(const AkaiSample& sample, const fs::path& path, uint16_t channels, const BodyWriter& writeData) {
  if (!CanBeWritten(sample, channels)) return false;
  const PlayLoop loop = FindPlayLoopInside(sample);
  if (!RemoveExisting(path)) return false;
  HMMIO file = platform::mmioOpen(
      path, platform::MMIO_CREATE | platform::MMIO_WRITE | platform::MMIO_EXCLUSIVE | platform::MMIO_ALLOCBUF);
  if (file == nullptr) return false;
  const bool written = WriteChunks(file, sample, channels, loop, writeData);
  const bool closed = platform::mmioClose(file, 0) == platform::MMSYSERR_NOERROR;
  if (written && closed) return true;
  std::error_code ignored;
  fs::remove(path, ignored);
  return false;
}

bool Acceptable(const PcmFormat& format) {
  return format.formatTag == kPcmFormatTag && (format.channels == 1 || format.channels == 2) &&
         format.bitsPerSample == 16 && format.samplesPerSec != 0;
}

}  // namespace

bool WriteWavFile(const AkaiSample& sample, const fs::path& path, bool normalize, const int16_t* right) {
  // A sample without its data has nothing to write.
  if (sample.sampleCount > 0 && !sample.data) return ReportWriteFailure();
  const uint16_t channels = right != nullptr ? 2 : 1;
  const bool written =
      WriteFile(sample, path, channels, [&](HMMIO file) { return WriteWords(file, sample, right, normalize); });
  return written || ReportWriteFailure();
}

bool WriteWavBytes(const AkaiSample& header, const fs::path& path, std::span<const uint8_t> bytes) {
  const bool written = bytes.size() == 2ULL * header.sampleCount &&
                       WriteFile(header, path, 1, Bytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
  return written || ReportWriteFailure();
}

bool CopyWavFile(const AkaiSample& header, const fs::path& path, const std::vector<FileRun>& words) {
  return WriteFile(header, path, 1, [&words](HMMIO file) {
    return std::all_of(words.begin(), words.end(), [file](const FileRun& run) {
      const auto bytes = static_cast<LONG>(run.bytes);
      return run.bytes <= INT32_MAX && platform::mmioWriteFromFile(file, run.fd, run.offset, bytes) == bytes;
    });
  });
}

WavFileSource::WavFileSource() : readBuffer_(std::make_unique<int16_t[]>(kReadBufferWords)) {}

WavFileSource::~WavFileSource() = default;

void WavFileSource::UseMemory(const int16_t* words, uint32_t totalWords) {
  Close();
  fileName_.clear();
  words_ = words;
  totalWords_ = totalWords;
}

void WavFileSource::UseFile(const fs::path& path) {
  Close();
  words_ = nullptr;
  totalWords_ = 0;
  fileName_ = path;
}

bool WavFileSource::Open(PcmFormat& format) {
  Close();
  if (fileName_.empty()) return false;
  platform::UniqueMmio file(platform::mmioOpen(fileName_, platform::MMIO_READ | platform::MMIO_ALLOCBUF));
  if (!file) return false;

  MMCKINFO riff;
  riff.fccType = kWave;
  if (platform::mmioDescend(file.get(), &riff, nullptr, platform::MMIO_FINDRIFF) != platform::MMSYSERR_NOERROR) {
    return false;
  }
  MMCKINFO formatChunk;
  formatChunk.ckid = kFormatChunk;
  if (platform::mmioDescend(file.get(), &formatChunk, &riff, platform::MMIO_FINDCHUNK) !=
          platform::MMSYSERR_NOERROR ||
      formatChunk.cksize < 16 || formatChunk.cksize > kMaxFormatBytes) {
    return false;
  }
  char bytes[kMaxFormatBytes];
  const LONG formatBytes = static_cast<LONG>(formatChunk.cksize);
  if (platform::mmioRead(file.get(), bytes, formatBytes) != formatBytes) return false;
  PcmFormat found;  // a 16-byte record has no extra-size field: it stays 0
  std::memcpy(&found, bytes, std::min<size_t>(formatChunk.cksize, sizeof found));
  if (!Acceptable(found) || platform::mmioAscend(file.get(), &formatChunk, 0) != platform::MMSYSERR_NOERROR) {
    return false;
  }

  MMCKINFO dataChunk;
  dataChunk.ckid = kDataChunk;
  if (platform::mmioDescend(file.get(), &dataChunk, &riff, platform::MMIO_FINDCHUNK) != platform::MMSYSERR_NOERROR) {
    return false;
  }
  // A truncated file holds less than its data chunk claims; only what is there counts.
  const LONG offset = platform::mmioSeek(file.get(), 0, SEEK_CUR);
  const LONG end = platform::mmioSeek(file.get(), 0, SEEK_END);
  if (offset < 0 || end < offset) return false;
  const uint32_t dataBytes = std::min<uint32_t>(dataChunk.cksize, static_cast<uint32_t>(end - offset));
  if (dataBytes < 2) return false;

  format = found;
  file_ = std::move(file);
  dataOffset_ = static_cast<uint32_t>(offset);
  dataBytes_ = dataBytes;
  return true;
}

bool WavFileSource::ReadAt(uint32_t index, uint32_t count) {
  const uint32_t wanted = std::min(count, kReadBufferWords);
  const uint32_t available = file_ && index < TotalWords() ? TotalWords() - index : 0;
  const uint32_t words = std::min(wanted, available);
  char* bytes = reinterpret_cast<char*>(readBuffer_.get());
  LONG read = 0;
  if (words > 0 && platform::mmioSeek(file_.get(), static_cast<LONG>(dataOffset_ + 2 * index), SEEK_SET) >= 0) {
    read = std::max<LONG>(platform::mmioRead(file_.get(), bytes, static_cast<LONG>(2 * words)), 0);
  }
  std::fill(bytes + read, bytes + 2 * size_t{wanted}, 0);
  return file_ && read == static_cast<LONG>(2 * words);
}

const int16_t* WavFileSource::Fetch(uint32_t index, uint32_t count) {
  if (PlaysFromMemory()) return words_ + std::min(index, totalWords_);
  ReadAt(index, count == 0 ? kReadBufferWords : count);
  return readBuffer_.get();
}

uint32_t WavFileSource::TotalWords() const {
  if (PlaysFromMemory()) return totalWords_;
  return file_ ? dataBytes_ / 2 : 0;
}

void WavFileSource::Close() {
  file_.reset();
  dataBytes_ = 0;
  dataOffset_ = 0;
}
