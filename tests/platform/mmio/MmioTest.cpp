#include "platform/mmio/Mmio.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/mmio/RiffBytes.h"
#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;
using namespace platform;
using namespace rifftest;

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kInfo = mmioFOURCC('I', 'N', 'F', 'O');
constexpr FOURCC kOdd = mmioFOURCC('o', 'd', 'd', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

MMRESULT WriteChunk(HMMIO file, FOURCC id, const std::string& body) {
  MMCKINFO chunk;
  chunk.ckid = id;
  if (MMRESULT result = mmioCreateChunk(file, &chunk, 0)) return result;
  if (mmioWrite(file, body.data(), static_cast<LONG>(body.size())) != static_cast<LONG>(body.size())) {
    return MMIOERR_CANNOTWRITE;
  }
  return mmioAscend(file, &chunk, 0);
}

class MmioTest : public testing::Test {
 protected:
  fs::path folder_ = testsupport::FreshFolder("mmio");
  fs::path path_ = folder_ / "file.riff";
};

}  // namespace

TEST_F(MmioTest, AscendFixesSizesAndPadsOddChunks) {
  HMMIO file = mmioOpen(path_, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
  ASSERT_NE(file, nullptr);
  MMCKINFO riff;
  riff.fccType = kWave;
  ASSERT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.dwDataOffset, 8u);
  ASSERT_EQ(WriteChunk(file, kOdd, "abc"), MMSYSERR_NOERROR);
  MMCKINFO list;
  list.fccType = kInfo;
  ASSERT_EQ(mmioCreateChunk(file, &list, MMIO_CREATELIST), MMSYSERR_NOERROR);
  ASSERT_EQ(WriteChunk(file, kData, "wxyz"), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioAscend(file, &list, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioAscend(file, &riff, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);

  const std::string list_body = "INFO" + Chunk("data", "wxyz");
  const std::string expected = Chunk("RIFF", "WAVE" + Chunk("odd ", "abc") + Chunk("LIST", list_body));
  EXPECT_EQ(ReadAll(path_), expected);
  EXPECT_EQ(riff.cksize, expected.size() - 8);
}

TEST_F(MmioTest, DescendFindsChunksFormsAndListsPastOddChunks) {
  WriteAll(path_, Chunk("RIFF", "WAVE" + Chunk("odd ", "abc") + Chunk("LIST", "INFO" + Chunk("data", "in")) +
                                    Chunk("data", "body")));
  UniqueMmio file(mmioOpen(path_, MMIO_READ));
  ASSERT_TRUE(file);
  MMCKINFO riff;
  riff.fccType = kWave;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.ckid, FOURCC_RIFF);
  EXPECT_EQ(riff.dwDataOffset, 8u);

  // The "data" chunk inside the LIST is not seen from the RIFF level.
  MMCKINFO data;
  data.ckid = kData;
  ASSERT_EQ(mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(data.cksize, 4u);
  char body[4];
  ASSERT_EQ(mmioRead(file.get(), body, 4), 4);
  EXPECT_EQ(std::string(body, 4), "body");
  EXPECT_EQ(mmioRead(file.get(), body, 4), 0);

  // From the start again: the LIST of form INFO, then the chunk inside it.
  ASSERT_EQ(mmioSeek(file.get(), 12, SEEK_SET), 12);
  MMCKINFO list;
  list.fccType = kInfo;
  ASSERT_EQ(mmioDescend(file.get(), &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioDescend(file.get(), &data, &list, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioRead(file.get(), body, 2), 2);
  EXPECT_EQ(std::string(body, 2), "in");
}

TEST_F(MmioTest, DescendStopsAtTheParentsEndAndAtTheFilesEnd) {
  // The "data" chunk follows the RIFF chunk, outside its parent.
  WriteAll(path_, Chunk("RIFF", "WAVE" + Chunk("odd ", "abc")) + Chunk("data", "xx"));
  UniqueMmio file(mmioOpen(path_, MMIO_READ));
  ASSERT_TRUE(file);
  MMCKINFO riff;
  riff.fccType = kWave;
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
  MMCKINFO data;
  data.ckid = kData;
  EXPECT_EQ(mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);

  MMCKINFO missing;
  missing.ckid = mmioFOURCC('n', 'o', 'n', 'e');
  ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_SET), 0);
  EXPECT_EQ(mmioDescend(file.get(), &missing, nullptr, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);

  MMCKINFO otherForm;
  otherForm.fccType = mmioFOURCC('A', 'V', 'I', ' ');
  ASSERT_EQ(mmioSeek(file.get(), 0, SEEK_SET), 0);
  EXPECT_EQ(mmioDescend(file.get(), &otherForm, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
}

TEST_F(MmioTest, AscendWhileReadingSkipsTheRestOfTheChunkAndItsPad) {
  WriteAll(path_, Chunk("odd ", "abc") + Chunk("data", "xy"));
  UniqueMmio file(mmioOpen(path_, MMIO_READ));
  ASSERT_TRUE(file);
  MMCKINFO odd;
  ASSERT_EQ(mmioDescend(file.get(), &odd, nullptr, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(odd.ckid, kOdd);
  ASSERT_EQ(mmioAscend(file.get(), &odd, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(file.get(), 0, SEEK_CUR), 12);
  MMCKINFO next;
  ASSERT_EQ(mmioDescend(file.get(), &next, nullptr, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(next.ckid, kData);
}

TEST_F(MmioTest, OpenRefusesWhatCannotBeOpened) {
  EXPECT_EQ(mmioOpen(folder_ / "missing.wav", MMIO_READ), nullptr);
  EXPECT_EQ(mmioOpen(folder_ / "no-such-folder" / "new.wav", MMIO_CREATE | MMIO_WRITE), nullptr);
  EXPECT_EQ(mmioOpen(folder_, MMIO_READ), nullptr);
  EXPECT_EQ(mmioOpen(folder_, MMIO_CREATE | MMIO_WRITE), nullptr);
  EXPECT_EQ(mmioOpen(path_, 0x2), nullptr);  // read-write access
  EXPECT_EQ(mmioOpen(path_, 0x3), nullptr);  // no such access mode
}

TEST_F(MmioTest, CreateReplacesTheContentsOfAnExistingFile) {
  WriteAll(path_, std::string(100, 'x'));
  HMMIO file = mmioOpen(path_, MMIO_CREATE | MMIO_WRITE);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(WriteChunk(file, kData, "ab"), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(ReadAll(path_), Chunk("data", "ab"));
}

TEST_F(MmioTest, ReadHandlesDoNotWrite) {
  WriteAll(path_, "abcd");
  HMMIO file = mmioOpen(path_, MMIO_READ);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(mmioWrite(file, "zz", 2), -1);
  MMCKINFO chunk;
  chunk.ckid = kData;
  EXPECT_EQ(mmioCreateChunk(file, &chunk, 0), MMIOERR_CANNOTWRITE);
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(ReadAll(path_), "abcd");
}

// A full disk: the buffered writes succeed, the failure shows at the ascend that
// flushes them, and every later step, the close included, reports it.
TEST(MmioFullDisk, AWriteThatCannotReachTheDiskIsReported) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  HMMIO file = mmioOpen("/dev/full", MMIO_WRITE);
  ASSERT_NE(file, nullptr);
  MMCKINFO chunk;
  chunk.ckid = kData;
  ASSERT_EQ(mmioCreateChunk(file, &chunk, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioWrite(file, "abc", 3), 3);
  EXPECT_EQ(mmioAscend(file, &chunk, 0), MMIOERR_CANNOTWRITE);
  EXPECT_EQ(mmioWrite(file, "abc", 3), -1);
  EXPECT_EQ(mmioClose(file, 0), MMIOERR_CANNOTWRITE);
}

TEST(MmioFullDisk, TheCloseReportsAWriteNotYetFlushed) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  HMMIO file = mmioOpen("/dev/full", MMIO_WRITE);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(mmioWrite(file, "abc", 3), 3);
  EXPECT_EQ(mmioClose(file, 0), MMIOERR_CANNOTWRITE);
}
