#pragma once
// Builds images for reader tests and opens them through a request-counting source.

#include <memory>
#include <string>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tests/support/TestPaths.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace testsupport {

inline std::filesystem::path BuildImage(const akaiimage::DiscDescription& disc, const std::string& name = "disc") {
  const std::filesystem::path path = FreshFolder(name) / (name + ".img");
  akaiimage::WriteImage(disc, path);
  return path;
}

// A file entry of `length` bytes whose bytes are all `fill`.
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
