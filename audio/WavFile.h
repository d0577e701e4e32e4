#pragma once
// WAV files: the writer used by the export (a RIFF WAVE file with "fmt ", "data" and a
// "smpl" chunk carrying root key and play loop), and the file source from which the
// playback engine can stream.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "akai/AkaiRecords.h"
#include "akai/SectorSource.h"
#include "audio/Pcm.h"
#include "platform/mmio/Mmio.h"

// The message shown when a WAV file cannot be written.
inline constexpr const char* kWavWriteFailedText = "Could not write WAV file";

// Writes `sample` (its data must be loaded) to `path`, replacing any file there; with
// `normalize` the file holds a peak-normalized copy and the sample is left untouched.
// On failure shows kWavWriteFailedText, leaves no partial file and returns
// false. A sample without a rate (0 Hz) cannot be described in a WAV file and is
// refused the same way. With `right` (sampleCount words) the file is stereo: the
// sample's words are the left channel, `right` the right one, normalized together.
bool WriteWavFile(const AkaiSample& sample, const std::filesystem::path& path, bool normalize,
                  const int16_t* right = nullptr);

// Writes the same file as WriteWavFile(header, path, false) does, but copies the words
// file to file from `words` (in order, 2 x sampleCount bytes in all); `header` needs no
// data. Quiet: false, leaving no file and showing nothing, so that the caller can load
// the words and write them with WriteWavFile instead, which reports its failures.
bool CopyWavFile(const AkaiSample& header, const std::filesystem::path& path, const std::vector<FileRun>& words);

// Writes the same file as WriteWavFile(header, path, false) does, its words taken from
// `bytes` (2 x sampleCount, little-endian as disc and file hold them; LoadSampleBytes),
// which saves copying them into the sample first. Fails and reports as WriteWavFile.
bool WriteWavBytes(const AkaiSample& header, const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The source the playback engine streams from: either 16-bit words in memory (what
// the play commands use) or the "data" chunk of a 16-bit PCM WAV file, read piecewise
// into a 128 KiB read buffer.
class WavFileSource {
 public:
  static constexpr uint32_t kReadBufferBytes = 131072;
  static constexpr uint32_t kReadBufferWords = kReadBufferBytes / 2;
  // A "fmt " chunk is read whole; longer ones are refused.
  static constexpr uint32_t kMaxFormatBytes = 1024;

  WavFileSource();
  ~WavFileSource();
  WavFileSource(const WavFileSource&) = delete;
  WavFileSource& operator=(const WavFileSource&) = delete;

  // Plays from `words` (not owned; must stay valid while in use). Clears the file name.
  void UseMemory(const int16_t* words, uint32_t totalWords);
  // Plays from the WAV file at `path` once opened.
  void UseFile(const std::filesystem::path& path);
  bool PlaysFromMemory() const { return words_ != nullptr; }

  // Opens the named file and fills `format`. Refused (false, nothing left open): no
  // file named, no RIFF "WAVE" form, no "fmt " chunk or one shorter than 16 bytes or
  // longer than kMaxFormatBytes, not PCM, not 16-bit, not 1 or 2 channels, a rate of
  // 0, no "data" chunk or an empty one.
  bool Open(PcmFormat& format);

  // Reads `count` words from word `index` of the data into the read buffer, at most
  // kReadBufferWords and never past the end of the data chunk; the rest of the
  // requested span is filled with silence. True when a file is open and every word
  // that lies inside the data was read.
  bool ReadAt(uint32_t index, uint32_t count);

  // The words at `index`: in memory, a pointer into the words; from a file, the read
  // buffer after ReadAt(index, count). A count of 0 stands for the whole streaming
  // buffer, which is never smaller than the read buffer: as much as the read buffer
  // holds. From a file at most kReadBufferWords words are delivered.
  const int16_t* Fetch(uint32_t index, uint32_t count);

  // The in-memory word count, or the data chunk's size / 2.
  uint32_t TotalWords() const;

  // Closes the file; nothing to do when playing from memory.
  void Close();

 private:
  const int16_t* words_ = nullptr;
  uint32_t totalWords_ = 0;
  std::filesystem::path fileName_;
  platform::UniqueMmio file_;
  uint32_t dataBytes_ = 0;
  uint32_t dataOffset_ = 0;
  std::unique_ptr<int16_t[]> readBuffer_;
};
