// Disc image files: raw 2352-byte sector images and cue sheets. An input holding a
// NUL byte is a cue sheet (before it) and its data file "d.bin" (after it); any other
// input is an image file of its own. Every sector the image holds is read.

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/discimage/DiscImage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr uint64_t kMaxSectors = 64;

void ReadAll(const std::filesystem::path& path) {
  try {
    discimage::DiscImageFile image(path);
    std::vector<uint8_t> sectors(4 * discimage::kDataSectorSize);
    const uint64_t count = std::min(image.dataBytes() / discimage::kDataSectorSize + 1, kMaxSectors);
    for (uint64_t lba = 0; lba < count; lba += 3) image.ReadSectors(lba, sectors.data(), 4);
  } catch (const discimage::OpenError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  if (nul == nullptr) {
    ReadAll(fuzzsupport::WriteScratch("image.bin", data, size));
    return 0;
  }
  fuzzsupport::WriteScratch("d.bin", nul + 1, static_cast<size_t>(data + size - nul - 1));
  ReadAll(fuzzsupport::WriteScratch("sheet.cue", data, static_cast<size_t>(nul - data)));
  return 0;
}
