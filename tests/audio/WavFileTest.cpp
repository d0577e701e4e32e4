#include "audio/WavFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/audio/AudioTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using namespace audiotest;
using testsupport::FileSizeLimit;

namespace {

constexpr char kWriteError[] = "Could not write WAV file";

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class WavFileTest : public testing::Test {
 protected:
  fs::path folder_ = testsupport::FreshFolder("wav");
  fs::path path_ = folder_ / "sample.wav";
  testsupport::ScriptedPrompt prompt_;

  void ExpectOneWriteError() {
    ASSERT_EQ(prompt_.messages().size(), 1u);
    EXPECT_EQ(prompt_.messages()[0].text, kWriteError);
    EXPECT_EQ(prompt_.messages()[0].type, platform::MB_OK | platform::MB_ICONSTOP);
  }
};

}  // namespace

TEST_F(WavFileTest, ThreeWordsWithoutLoopGiveTheNinetySixByteLayout) {
  const AkaiSample sample = MakeSample({1, -2, 0x1234}, 22050, 64);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  const std::string expected = Chunk(
      "RIFF", "WAVE" +
                  Chunk("fmt ", Word16(1) + Word16(1) + Word32(22050) + Word32(44100) + Word16(2) + Word16(16) +
                                    Word16(0)) +
                  Chunk("data", Word16(1) + Word16(0xFFFE) + Word16(0x1234)) +
                  Chunk("smpl", Word32(0) + Word32(0) + Word32(45351) + Word32(64) + std::string(20, '\0')));
  const std::string written = ReadAll(path_);
  EXPECT_EQ(written.size(), 96u);
  EXPECT_EQ(WordAt(written, 4), 88u);
  EXPECT_EQ(written, expected);
  EXPECT_TRUE(prompt_.messages().empty());
}

TEST_F(WavFileTest, SamplePeriodIsNanosecondsPerWordRoundedDown) {
  const std::pair<uint16_t, uint32_t> cases[] = {{22050, 45351}, {44100, 22675}, {32000, 31250}, {1, 1000000000}};
  for (const auto& [rate, period] : cases) {
    ASSERT_TRUE(WriteWavFile(MakeSample({5, 6}, rate), path_, false));
    EXPECT_EQ(WordAt(ReadAll(path_), 54 + 4 + 8), period) << rate << " Hz";
  }
}

TEST_F(WavFileTest, LibsndfileReadsFormatWordsRootKeyAndTheInclusiveLoop) {
  const std::vector<int16_t> words = Ramp(300);
  AkaiSample sample = MakeSample(words, 44100, 67);
  SetLoop(sample, 100, 50);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));

  const std::string written = ReadAll(path_);
  const size_t smpl = 46 + 2 * words.size();
  EXPECT_EQ(written.substr(smpl, 4), "smpl");
  EXPECT_EQ(WordAt(written, smpl + 4), 60u);
  EXPECT_EQ(WordAt(written, smpl + 8 + 28), 1u);   // loop count
  EXPECT_EQ(WordAt(written, smpl + 8 + 44), 100u);  // loop start
  EXPECT_EQ(WordAt(written, smpl + 8 + 48), 149u);  // last word of the loop
  EXPECT_EQ(written.size(), smpl + 8 + 60);

  const auto view = ReadWithSndfile(path_);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(view->info.channels, 1);
  EXPECT_EQ(view->info.samplerate, 44100);
  EXPECT_EQ(view->info.frames, 300);
  EXPECT_EQ(view->words, words);
  ASSERT_TRUE(view->hasInstrument);
  EXPECT_EQ(view->instrument.basenote, 67);
  ASSERT_EQ(view->instrument.loop_count, 1);
  EXPECT_EQ(view->instrument.loops[0].mode, SF_LOOP_FORWARD);
  EXPECT_EQ(view->instrument.loops[0].start, 100u);
  EXPECT_EQ(view->instrument.loops[0].end, 150u);  // libsndfile adds 1 to the inclusive end
}

TEST_F(WavFileTest, WithoutLoopLibsndfileSeesTheRootKeyAndNoLoop) {
  const AkaiSample sample = MakeSample(Ramp(10), 32000, 48);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  const auto view = ReadWithSndfile(path_);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->words, Ramp(10));
  ASSERT_TRUE(view->hasInstrument);
  EXPECT_EQ(view->instrument.basenote, 48);
  EXPECT_EQ(view->instrument.loop_count, 0);
}

// A damaged loop table can name a loop beyond the data; readers must not be sent
// past the last word, so the file gets no loop.
TEST_F(WavFileTest, ALoopReachingPastTheDataIsLeftOut) {
  AkaiSample sample = MakeSample(Ramp(100), 22050);
  SetLoop(sample, 80, 40);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  const std::string written = ReadAll(path_);
  EXPECT_EQ(WordAt(written, 46 + 200 + 4), 36u);
  EXPECT_EQ(WordAt(written, 46 + 200 + 8 + 28), 0u);

  SetLoop(sample, 50, 50);  // ends on the last word: kept
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  EXPECT_EQ(WordAt(ReadAll(path_), 46 + 200 + 8 + 48), 99u);
}

TEST_F(WavFileTest, AnExistingFileIsReplacedNeverAppendedTo) {
  WriteAll(path_, std::string(5000, 'x'));
  ASSERT_TRUE(WriteWavFile(MakeSample({1, 2, 3}, 22050), path_, false));
  EXPECT_EQ(fs::file_size(path_), 96u);

  // A link is replaced as well; the file it points to is left as it was.
  const fs::path target = folder_ / "target.bin";
  WriteAll(target, "keep");
  fs::remove(path_);
  fs::create_symlink(target, path_);
  ASSERT_TRUE(WriteWavFile(MakeSample({1, 2, 3}, 22050), path_, false));
  EXPECT_FALSE(fs::is_symlink(path_));
  EXPECT_EQ(ReadAll(target), "keep");
}

TEST_F(WavFileTest, NormalizingWritesAScaledCopyAndLeavesTheSampleAlone) {
  const AkaiSample sample = MakeSample({1000, -2000, 500}, 22050);
  ASSERT_TRUE(WriteWavFile(sample, path_, true));
  auto view = ReadWithSndfile(path_);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->words, (std::vector<int16_t>{16383, -32767, 8191}));
  EXPECT_EQ(std::vector<int16_t>(sample.data.get(), sample.data.get() + 3), (std::vector<int16_t>{1000, -2000, 500}));

  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  view = ReadWithSndfile(path_);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->words, (std::vector<int16_t>{1000, -2000, 500}));
}

TEST_F(WavFileTest, AnEmptySampleGivesAFileWithAnEmptyDataChunk) {
  AkaiSample sample = MakeSample({}, 22050);
  sample.data.reset();
  ASSERT_TRUE(WriteWavFile(sample, path_, true));
  const std::string written = ReadAll(path_);
  EXPECT_EQ(written.size(), 90u);
  EXPECT_EQ(WordAt(written, 42), 0u);
}

TEST_F(WavFileTest, AFolderOfThatNameIsNotReplaced) {
  fs::create_directory(path_);
  EXPECT_FALSE(WriteWavFile(MakeSample({1, 2, 3}, 22050), path_, false));
  ExpectOneWriteError();
  EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(WavFileTest, AFileThatCannotBeCreatedIsReported) {
  const fs::path inMissingFolder = folder_ / "missing" / "sample.wav";
  EXPECT_FALSE(WriteWavFile(MakeSample({1, 2, 3}, 22050), inMissingFolder, false));
  ExpectOneWriteError();
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

// A rate of 0 has no sample period and no reader plays it: refused, and a file
// already there is kept.
TEST_F(WavFileTest, ASampleWithoutRateIsRefusedAndTheOldFileKept) {
  WriteAll(path_, "old");
  EXPECT_FALSE(WriteWavFile(MakeSample({1, 2, 3}, 0), path_, false));
  ExpectOneWriteError();
  EXPECT_EQ(ReadAll(path_), "old");
}

TEST_F(WavFileTest, ASampleLoadedWithoutItsDataIsRefused) {
  AkaiSample sample = MakeSample({1, 2, 3}, 22050);
  sample.data.reset();
  EXPECT_FALSE(WriteWavFile(sample, path_, false));
  ExpectOneWriteError();
  EXPECT_FALSE(fs::exists(path_));
}

// Whichever step meets the full disk (a write, an ascend, the close), the failure is
// reported once and no partial file stays behind.
TEST_F(WavFileTest, AFullDiskAtAnyPointIsReportedAndLeavesNoFile) {
  AkaiSample sample = MakeSample(Ramp(2000), 22050);
  SetLoop(sample, 100, 50);
  const size_t fullSize = 46 + 4000 + 8 + 60;
  for (rlim_t room : {rlim_t{0}, rlim_t{8}, rlim_t{12}, rlim_t{30}, rlim_t{46}, rlim_t{2000}, rlim_t{4046},
                      rlim_t{4054}, rlim_t{fullSize - 1}}) {
    testsupport::ScriptedPrompt prompt;
    bool written;
    {
      FileSizeLimit limit(room);
      written = WriteWavFile(sample, path_, room % 2 == 0);
    }
    EXPECT_FALSE(written) << room;
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{kWriteError}) << room;
    EXPECT_FALSE(fs::exists(path_)) << room;
  }
  {
    FileSizeLimit limit(fullSize);
    ASSERT_TRUE(WriteWavFile(sample, path_, false));
  }
  EXPECT_EQ(fs::file_size(path_), fullSize);
}

// The words copied file to file, in runs of odd lengths at odd offsets, give the bytes
// the words written from memory give. A copy that cannot be made (a run past its
// file's end, a disk full inside the words) leaves no file and shows nothing: the
// caller writes from memory instead, and that write reports.
TEST_F(WavFileTest, CopiedWordsGiveTheFileWrittenFromMemory) {
  AkaiSample sample = MakeSample(Ramp(3001), 44100, 50);
  SetLoop(sample, 1000, 700);
  ASSERT_TRUE(WriteWavFile(sample, path_, false));
  const std::string written = ReadFileBytes(path_);
  const fs::path words = folder_ / "words.raw";
  const std::string raw = "x" + std::string(reinterpret_cast<const char*>(sample.data.get()), 2 * 3001);
  WriteFileBytes(words, raw);
  const int fd = open(words.c_str(), O_RDONLY | O_CLOEXEC);
  AkaiSample header = MakeSample({}, 44100, 50);
  header.sampleCount = 3001;
  SetLoop(header, 1000, 700);
  const fs::path copy = folder_ / "copy.wav";
  ASSERT_TRUE(CopyWavFile(header, copy, {{fd, 1, 1001}, {fd, 1002, 4001}, {fd, 5003, 1000}}));
  EXPECT_EQ(ReadFileBytes(copy), written);

  EXPECT_FALSE(CopyWavFile(header, copy, {{fd, 1, 4000}, {fd, 4001, 2003}}));
  EXPECT_FALSE(fs::exists(copy));
  {
    FileSizeLimit limit(3000);
    EXPECT_FALSE(CopyWavFile(header, copy, {{fd, 1, 6002}}));
  }
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_TRUE(prompt_.messages().empty());
  close(fd);
}
