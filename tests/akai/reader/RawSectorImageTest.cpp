// Raw 2352-byte sector copies of built discs, with and without cue sheets, read
// through ImageFileSource exactly as the 2048-byte image they were made from; and cue
// sheets or data files that do not describe a readable data track.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/akai/reader/ReaderTestSupport.h"
#include "tools/akaiimage/RawSectorImage.h"

namespace {

namespace fs = std::filesystem;
using akaiimage::RawSectorMode;

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

// A real-layout disc: a volume with a fragmented file, and its folder.
fs::path BuildDisc() {
  akaiimage::DiscDescription disc;
  disc.realHeaders = true;
  akaiimage::FileEntry file = testsupport::Filled("F", 's', 60000, 0);
  for (size_t i = 0; i < file.data.size(); ++i) file.data[i] = static_cast<uint8_t>(i * 7 / 3);
  file.fragments = 3;
  disc.partitions = {akaiimage::PartitionEntry{.sizeBlocks = 20, .volumes = {{.name = "V", .files = {file}}}}};
  return testsupport::BuildImage(disc, "raw");
}

std::vector<uint8_t> AllSectors(ImageFileSource& source) {
  std::vector<uint8_t> bytes(source.sizeBytes());
  for (uint32_t lba = 0; lba * 2048 < bytes.size(); ++lba) source.ReadSectors(lba, bytes.data() + lba * 2048, 1);
  return bytes;
}

TEST(RawSectorImages, ReadAsTheImageTheyCopy) {
  const fs::path cooked = BuildDisc();
  const fs::path folder = cooked.parent_path();
  akaiimage::WriteRawSectorImage(cooked, folder / "mode1.bin", RawSectorMode::Mode1);
  akaiimage::WriteRawSectorImage(cooked, folder / "mode2.img", RawSectorMode::Mode2Form1);
  WriteText(folder / "mode1.cue", akaiimage::CueSheet("mode1.bin", RawSectorMode::Mode1));
  WriteText(folder / "mode2.cue", akaiimage::CueSheet("mode2.img", RawSectorMode::Mode2Form1));
  WriteText(folder / "cooked.cue", "REM made by hand\nFILE \"raw.img\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
  // A data track after an audio track in its own file.
  WriteText(folder / "mixed.cue", "FILE \"audio.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                  "FILE \"mode1.bin\" BINARY\n  TRACK 02 MODE1/2352\n    INDEX 01 00:00:00\n");

  ImageFileSource original(cooked);
  const std::vector<uint8_t> expected = AllSectors(original);
  for (const char* name : {"mode1.bin", "mode2.img", "mode1.cue", "mode2.cue", "cooked.cue", "mixed.cue"}) {
    SCOPED_TRACE(name);
    ImageFileSource copy(folder / name);
    EXPECT_EQ(copy.sizeBytes(), expected.size());
    EXPECT_TRUE(AllSectors(copy) == expected);
    AkaiVolumeReader reader(copy);
    reader.ReadFiles(0, 0);
    EXPECT_EQ(reader.files().Count(), 1);
  }
}

TEST(RawSectorImages, BadSheetsAndDataFilesAreClearErrors) {
  const fs::path cooked = BuildDisc();
  const fs::path folder = cooked.parent_path();
  akaiimage::WriteRawSectorImage(cooked, folder / "mode1.bin", RawSectorMode::Mode1);
  struct Case {
    const char* cue;
    const char* message;
  };
  const Case cases[] = {
      {"FILE \"gone.bin\" BINARY\nTRACK 01 MODE1/2352\n", "the data file"},
      {"FILE \"mode1.bin\" BINARY\nTRACK 01 AUDIO\n", "only audio tracks"},
      {"FILE \"mode1.bin\" BINARY\nTRACK 01 MODE2/2336\n", "unsupported mode 'MODE2/2336'"},
      {"FILE \"mode1.bin\" BINARY\nTRACK 01 MODE2/2352\n", "not the mode the cue sheet gives"},
      {"FILE \"raw.img\" BINARY\nTRACK 01 MODE1/2352\n", "no raw 2352-byte sector"},
      {"FILE \"mode1.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 99:00:00\n", "no sector where the track starts"},
      {"FILE \"mode1.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:61:00\n", "malformed INDEX time"},
      {"TRACK 01 MODE1/2352\n", "before any FILE"},
      {"REM nothing\n", "names no track"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cue);
    WriteText(folder / "bad.cue", c.cue);
    try {
      ImageFileSource source(folder / "bad.cue");
      ADD_FAILURE() << "opened";
    } catch (const ImageOpenError& e) {
      EXPECT_NE(std::string(e.what()).find("bad.cue"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }

  // A .bin cut short opens; the sectors it lost fail to read like any past the end.
  fs::resize_file(folder / "mode1.bin", 5 * 2352 + 1000);
  ImageFileSource cut(folder / "mode1.bin");
  EXPECT_EQ(cut.sizeBytes(), 5u * 2048);
  std::vector<uint8_t> buffer(2 * 2048);
  cut.ReadSectors(3, buffer.data(), 2);
  EXPECT_THROW(cut.ReadSectors(4, buffer.data(), 2), CDReaderException);
}

}  // namespace
