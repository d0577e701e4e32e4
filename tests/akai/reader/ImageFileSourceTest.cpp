#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <vector>

#include "akai/ImageFileSource.h"
#include "tests/support/TestPaths.h"

namespace {

namespace fs = std::filesystem;

fs::path WriteBytes(const std::string& name, size_t size) {
  const fs::path path = testsupport::FreshFolder("image-source") / name;
  std::ofstream out(path, std::ios::binary);
  for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(i / SectorSource::kSectorSize + 1));
  return path;
}

TEST(ImageFileSource, ReadsSectorsAtTheirOffset) {
  ImageFileSource source(WriteBytes("disc.iso", 8 * 2048));
  EXPECT_EQ(source.sizeBytes(), 8u * 2048);
  std::vector<uint8_t> buffer(3 * 2048);
  source.ReadSectors(5, buffer.data(), 3);
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(buffer[2048], 7);
  EXPECT_EQ(buffer.back(), 8);
}

TEST(ImageFileSource, ReadPastTheEndThrowsCode2) {
  ImageFileSource source(WriteBytes("short.img", 4 * 2048 + 100));
  std::vector<uint8_t> buffer(4 * 2048);
  auto expectFailure = [&](uint32_t lba, uint8_t count) {
    try {
      source.ReadSectors(lba, buffer.data(), count);
      ADD_FAILURE() << "read at " << lba << " did not fail";
    } catch (const CDReaderException& e) {
      EXPECT_EQ(e.code, CDReaderException::kCommandFailed);
      EXPECT_EQ(e.status, ImageFileSource::kReadErrorStatus);
    }
  };
  expectFailure(4, 1);   // the partial sector at the end is not a sector
  expectFailure(2, 4);   // starts inside, ends outside
  expectFailure(1000, 1);
  source.ReadSectors(0, buffer.data(), 4);  // what is there still reads
}

TEST(ImageFileSource, MissingFileOrFolderNamesThePath) {
  const fs::path missing = testsupport::FreshFolder("image-source") / "missing.img";
  try {
    ImageFileSource source(missing);
    FAIL() << "opened a missing file";
  } catch (const ImageOpenError& e) {
    EXPECT_EQ(e.path(), missing);
    EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos);
  }
  const fs::path folder = testsupport::FreshFolder("image-folder");
  EXPECT_THROW(ImageFileSource{folder}, ImageOpenError);
  const fs::path fifo = folder / "fifo.iso";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(ImageFileSource{fifo}, ImageOpenError);  // refused at once, not waiting for a writer
}

}  // namespace
