#include "tools/akaiimage/RawSectorImage.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/discimage/DiscImage.h"

namespace akaiimage {
namespace {

using discimage::kDataSectorSize;
using discimage::kRawSectorSize;

// Sector addresses count from 2 seconds (150 frames) into the disc, in BCD.
uint8_t Bcd(uint32_t value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

void PutHeader(uint8_t* sector, uint32_t lba, RawSectorMode mode) {
  std::copy(discimage::kSyncPattern.begin(), discimage::kSyncPattern.end(), sector);
  const uint32_t frames = lba + 150;
  sector[12] = Bcd(frames / (60 * 75));
  sector[13] = Bcd(frames / 75 % 60);
  sector[14] = Bcd(frames % 75);
  sector[discimage::kModeByte] = mode == RawSectorMode::Mode1 ? 1 : 2;
  if (mode == RawSectorMode::Mode2Form1) {
    // Subheader, written twice: file, channel, submode (data), coding.
    const uint8_t subheader[4] = {0, 0, 0x08, 0};
    std::copy(subheader, subheader + 4, sector + 16);
    std::copy(subheader, subheader + 4, sector + 20);
  }
}

[[noreturn]] void Fail(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

void WriteRawSectorImage(const std::filesystem::path& cooked, const std::filesystem::path& raw, RawSectorMode mode) {
  std::ifstream in(cooked, std::ios::binary);
  if (!in) Fail("cannot read " + cooked.string());
  std::ofstream out(raw, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create " + raw.string());
  const uint32_t dataOffset = mode == RawSectorMode::Mode1 ? discimage::kMode1DataOffset : discimage::kMode2DataOffset;
  std::vector<uint8_t> sector(kRawSectorSize);
  for (uint32_t lba = 0;; ++lba) {
    std::fill(sector.begin(), sector.end(), 0);
    in.read(reinterpret_cast<char*>(sector.data() + dataOffset), kDataSectorSize);
    if (in.gcount() == 0) break;
    PutHeader(sector.data(), lba, mode);
    out.write(reinterpret_cast<const char*>(sector.data()), kRawSectorSize);
  }
  out.close();
  if (!out) Fail("cannot write " + raw.string());
}

std::string CueSheet(const std::string& dataFile, RawSectorMode mode) {
  return "FILE \"" + dataFile + "\" BINARY\n  TRACK 01 " +
         (mode == RawSectorMode::Mode1 ? "MODE1/2352" : "MODE2/2352") + "\n    INDEX 01 00:00:00\n";
}

}  // namespace akaiimage
