#pragma once
// A SoundFont 2 file read back from its own records, for comparing banks: the zones
// of its instruments (an instrument's global zone merged into each of its zones) with
// the header of the sample each zone plays.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

struct SoundFontSample {
  std::string name;
  uint32_t loopStart = 0;  // relative to the sample's first word
  uint32_t loopEnd = 0;    // exclusive
  int originalPitch = 0;
  int pitchCorrection = 0;
};

struct SoundFontZone {
  std::map<uint16_t, uint16_t> generators;  // id -> amount as stored
  SoundFontSample sample;

  bool Has(uint16_t id) const { return generators.count(id) != 0; }
  int Signed(uint16_t id, int otherwise = 0) const {
    return Has(id) ? static_cast<int16_t>(generators.at(id)) : otherwise;
  }
  int Low(uint16_t id) const { return generators.at(id) & 0xFF; }
  int High(uint16_t id) const { return generators.at(id) >> 8; }
};

inline constexpr uint16_t kSampleIdGenerator = 53;
inline constexpr uint16_t kInstrumentGenerator = 41;

// The zones of every instrument in file order; throws std::runtime_error for a file
// without the records.
inline std::vector<SoundFontZone> ReadSoundFontZones(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() < 12) throw std::runtime_error("no SoundFont file: " + file.string());
  const auto u8 = [&](size_t at) { return static_cast<uint8_t>(bytes.at(at)); };
  const auto u16 = [&](size_t at) { return static_cast<uint16_t>(u8(at) | u8(at + 1) << 8); };
  const auto u32 = [&](size_t at) { return uint32_t{u16(at)} | uint32_t{u16(at + 2)} << 16; };
  std::map<std::string, std::pair<size_t, uint32_t>> chunks;  // pdta sub-chunks: offset, size
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = u32(at + 4);
    if (std::string(&bytes[at], 4) == "LIST" && std::string(&bytes[at + 8], 4) == "pdta") {
      for (size_t sub = at + 12; sub + 8 <= at + 8 + size; sub += 8 + u32(sub + 4)) {
        chunks[std::string(&bytes[sub], 4)] = {sub + 8, u32(sub + 4)};
      }
    }
    at += 8 + size + (size & 1);
  }
  for (const char* name : {"inst", "ibag", "igen", "shdr"}) {
    if (chunks.count(name) == 0) throw std::runtime_error(std::string("no ") + name + " records: " + file.string());
  }
  const size_t inst = chunks["inst"].first, ibag = chunks["ibag"].first, igen = chunks["igen"].first;
  const size_t shdr = chunks["shdr"].first;
  const auto sampleAt = [&](uint16_t index) {
    const size_t at = shdr + 46 * size_t{index};
    const uint32_t start = u32(at + 20);
    return SoundFontSample{std::string(&bytes[at], strnlen(&bytes[at], 20)), u32(at + 28) - start,
                           u32(at + 32) - start, u8(at + 40), static_cast<int8_t>(u8(at + 41))};
  };
  std::vector<SoundFontZone> zones;
  const size_t instruments = chunks["inst"].second / 22;
  for (size_t i = 0; i + 1 < instruments; ++i) {
    std::map<uint16_t, uint16_t> global;
    for (uint16_t bag = u16(inst + 22 * i + 20); bag < u16(inst + 22 * (i + 1) + 20); ++bag) {
      SoundFontZone zone;
      for (uint16_t g = u16(ibag + 4 * bag); g < u16(ibag + 4 * (bag + 1)); ++g) {
        zone.generators[u16(igen + 4 * g)] = u16(igen + 4 * g + 2);
      }
      if (!zone.Has(kSampleIdGenerator)) {  // a global zone: defaults for the others
        global = zone.generators;
        continue;
      }
      for (const auto& [id, amount] : global) zone.generators.emplace(id, amount);
      zone.sample = sampleAt(zone.generators[kSampleIdGenerator]);
      zones.push_back(zone);
    }
  }
  return zones;
}

}  // namespace testsupport
