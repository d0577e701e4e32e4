#pragma once
// Builds images for reader tests and opens them through a request-counting source.

#include <memory>
#include <string>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tests/support/TestPaths.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

// The reader's block reads and block maps, which only its own loads call.
class AkaiVolumeReaderTestAccess {
 public:
  static void ReadContiguousBlocks(AkaiVolumeReader& reader, uint32_t first, uint32_t count) {
    reader.ReadContiguousBlocks(first, count);
  }
  static void ReadProgramBlocks(AkaiVolumeReader& reader, uint32_t first, uint32_t count, uint16_t partitionStart) {
    reader.ReadProgramBlocks(first, count, partitionStart);
  }
  static const uint8_t* FileBuffer(const AkaiVolumeReader& reader) { return reader.fileBuffer_.get(); }
  // The index of the listed file that covers `block`, or -1.
  static int FileAtBlock(const AkaiVolumeReader& reader, uint32_t block) {
    const auto ranges = reader.FileRanges();
    for (size_t j = 0; j < ranges.size(); ++j) {
      if (ranges[j].Contains(block)) return static_cast<int>(j);
    }
    return -1;
  }
  static uint16_t NextFreeBlock(const AkaiVolumeReader& reader, uint16_t block) {
    return AkaiVolumeReader::FirstFreeFrom(reader.FileRanges(), block);
  }
  static bool IsFileStart(const AkaiVolumeReader& reader, uint16_t block) {
    return AkaiVolumeReader::StartsAt(reader.FileRanges(), block);
  }
};

namespace testsupport {

inline std::filesystem::path BuildImage(const akaiimage::DiscDescription& disc, const std::string& name = "disc") {
  const std::filesystem::path path = FreshFolder(name) / (name + ".img");
  akaiimage::WriteImage(disc, path);
  return path;
}

// A file entry of `length` bytes whose bytes are all `fill`.
// Three empty partitions of 100, 50 and 200 blocks.
inline akaiimage::DiscDescription ThreePartitions() {
  akaiimage::DiscDescription disc;
  disc.partitions = {akaiimage::PartitionEntry{100, {}}, akaiimage::PartitionEntry{50, {}},
                     akaiimage::PartitionEntry{200, {}}};
  return disc;
}

inline akaiimage::FileEntry Filled(const std::string& name, char type, uint32_t length, uint8_t fill) {
  akaiimage::FileEntry file;
  file.name = name;
  file.type = type;
  file.data.assign(length, fill);
  return file;
}

// An image on disc, read through a CountingSource by an AkaiVolumeReader.
struct OpenedImage {
  explicit OpenedImage(const akaiimage::DiscDescription& disc, const std::string& name = "disc")
      : image(BuildImage(disc, name)), counting(image), reader(counting) {}
  ImageFileSource image;
  CountingSource counting;
  AkaiVolumeReader reader;
};

}  // namespace testsupport
