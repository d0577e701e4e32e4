#include <gtest/gtest.h>

#include "audio/WavFile.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using namespace audiotest;

namespace {

std::string FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return Word16(tag) + Word16(channels) + Word32(rate) + Word32(rate * align) + Word16(align) + Word16(bits);
}

std::string Wave(const std::string& chunks) { return Chunk("RIFF", "WAVE" + chunks); }

std::string Words(const std::vector<int16_t>& words) {
  std::string bytes;
  for (int16_t word : words) bytes += Word16(static_cast<uint16_t>(word));
  return bytes;
}

class WavFileSourceTest : public testing::Test {
 protected:
  fs::path path_ = testsupport::FreshFolder("source") / "play.wav";
  WavFileSource source_;
  PcmFormat format_{};

  bool OpenBytes(const std::string& bytes) {
    WriteAll(path_, bytes);
    source_.UseFile(path_);
    return source_.Open(format_);
  }

  std::vector<int16_t> Fetched(uint32_t index, uint32_t count) {
    const int16_t* words = source_.Fetch(index, count);
    return std::vector<int16_t>(words, words + count);
  }
};

}  // namespace

TEST_F(WavFileSourceTest, OpensTheFilesTheWriterMakes) {
  testsupport::ScriptedPrompt prompt;
  AkaiSample sample = MakeSample(Ramp(1000), 32000);
  SetLoop(sample, 10, 20);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  source_.UseFile(path_);
  ASSERT_TRUE(source_.Open(format_));
  EXPECT_FALSE(source_.PlaysFromMemory());
  const PcmFormat written = PcmFormatForRate(32000);
  EXPECT_EQ(std::memcmp(&format_, &written, sizeof format_), 0);
  EXPECT_EQ(source_.TotalWords(), 1000u);
  const std::vector<int16_t> words = Ramp(1000);
  EXPECT_EQ(Fetched(0, 1000), words);
  EXPECT_EQ(Fetched(990, 10), std::vector<int16_t>(words.begin() + 990, words.end()));
  source_.Close();
  EXPECT_EQ(source_.TotalWords(), 0u);
}

// The "smpl" chunk follows the data: a read running past the data's end must give
// silence, not the sampler record.
TEST_F(WavFileSourceTest, ReadsStopAtTheEndOfTheData) {
  ASSERT_TRUE(OpenBytes(Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16)) + Chunk("data", Words({1, 2, 3, 4})) +
                             Chunk("smpl", std::string(36, '\x7f')))));
  EXPECT_TRUE(source_.ReadAt(2, 6));
  EXPECT_EQ(Fetched(2, 6), (std::vector<int16_t>{3, 4, 0, 0, 0, 0}));
  EXPECT_TRUE(source_.ReadAt(10, 2));
  EXPECT_EQ(Fetched(10, 2), (std::vector<int16_t>{0, 0}));
}

TEST_F(WavFileSourceTest, ReadsAreClampedToTheReadBuffer) {
  const uint32_t total = WavFileSource::kReadBufferWords + 5000;
  std::vector<int16_t> words(total);
  for (uint32_t i = 0; i < total; ++i) words[i] = static_cast<int16_t>(i % 30011);
  ASSERT_TRUE(OpenBytes(Wave(Chunk("fmt ", FormatBody(1, 1, 44100, 16)) + Chunk("data", Words(words)))));
  EXPECT_EQ(source_.TotalWords(), total);
  // Asking for more than the buffer holds fills the buffer and no further.
  EXPECT_TRUE(source_.ReadAt(0, total));
  // A count of 0 stands for the streaming buffer: as much as the read buffer holds.
  const int16_t* fetched = source_.Fetch(4000, 0);
  EXPECT_EQ(std::vector<int16_t>(fetched, fetched + WavFileSource::kReadBufferWords),
            std::vector<int16_t>(words.begin() + 4000, words.begin() + 4000 + WavFileSource::kReadBufferWords));
}

TEST_F(WavFileSourceTest, AcceptsStereoAndTheSixteenByteFormatRecord) {
  ASSERT_TRUE(OpenBytes(Wave(Chunk("fmt ", FormatBody(1, 2, 48000, 16)) + Chunk("data", Words({1, -1, 2, -2})))));
  EXPECT_EQ(format_.channels, 2);
  EXPECT_EQ(format_.samplesPerSec, 48000u);
  EXPECT_EQ(format_.blockAlign, 4);
  EXPECT_EQ(format_.extraSize, 0);
  EXPECT_EQ(source_.TotalWords(), 4u);
}

TEST_F(WavFileSourceTest, ATruncatedDataChunkCountsOnlyTheWordsPresent) {
  std::string bytes = Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16)) + Chunk("data", Words({1, 2, 3, 4, 5, 6})));
  bytes.resize(bytes.size() - 7);
  ASSERT_TRUE(OpenBytes(bytes));
  EXPECT_EQ(source_.TotalWords(), 2u);
}

TEST_F(WavFileSourceTest, RefusesFilesItCannotPlay) {
  const std::string pcm = Chunk("fmt ", FormatBody(1, 1, 22050, 16));
  const std::string data = Chunk("data", Words({1, 2}));
  std::string truncatedFormat = Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16) + Word16(0)));
  truncatedFormat.resize(12 + 8 + 10);
  const std::pair<const char*, std::string> cases[] = {
      {"not RIFF", "JUNK" + Word32(4) + "WAVE" + pcm + data},
      {"not WAVE", Chunk("RIFF", "AVI " + pcm + data)},
      {"no fmt", Wave(data)},
      {"fmt shorter than 16 bytes", Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16).substr(0, 14)) + data)},
      {"fmt cut off by the end of the file", truncatedFormat},
      {"fmt over 1 KiB", Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16) + std::string(1010, '\0')) + data)},
      {"not PCM", Wave(Chunk("fmt ", FormatBody(3, 1, 22050, 16)) + data)},
      {"8-bit", Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 8)) + data)},
      {"three channels", Wave(Chunk("fmt ", FormatBody(1, 3, 22050, 16)) + data)},
      {"no channels", Wave(Chunk("fmt ", FormatBody(1, 0, 22050, 16)) + data)},
      {"rate 0", Wave(Chunk("fmt ", FormatBody(1, 1, 0, 16)) + data)},
      {"no data", Wave(pcm)},
      {"data before fmt", Wave(data + pcm)},
      {"empty data", Wave(pcm + Chunk("data", ""))},
      {"empty file", ""},
  };
  for (const auto& [what, bytes] : cases) {
    EXPECT_FALSE(OpenBytes(bytes)) << what;
    EXPECT_EQ(source_.TotalWords(), 0u) << what;
    EXPECT_FALSE(source_.ReadAt(0, 1)) << what;
  }
  source_.UseFile(path_.parent_path() / "missing.wav");
  EXPECT_FALSE(source_.Open(format_));
}

TEST_F(WavFileSourceTest, TheFormatChunkMayFillTheWholeBound) {
  ASSERT_TRUE(OpenBytes(Wave(Chunk("fmt ", FormatBody(1, 1, 22050, 16) + Word16(1006) + std::string(1006, '\0')) +
                             Chunk("data", Words({7})))));
  EXPECT_EQ(format_.extraSize, 1006);
  EXPECT_EQ(Fetched(0, 1), std::vector<int16_t>{7});
}

TEST_F(WavFileSourceTest, PlaysFromMemoryWithoutAFile) {
  const std::vector<int16_t> words = Ramp(50);
  source_.UseFile(path_);
  source_.UseMemory(words.data(), 50);
  EXPECT_TRUE(source_.PlaysFromMemory());
  EXPECT_EQ(source_.TotalWords(), 50u);
  EXPECT_EQ(source_.Fetch(10, 5), words.data() + 10);
  EXPECT_FALSE(source_.Open(format_));  // no file named
  source_.Close();
  EXPECT_EQ(source_.TotalWords(), 50u);
}
