#pragma once
// Helpers of the edit engine's tests: the engine's table loaded from the built shared
// library, WAV files written through mmio, and a reader for the banks' chunks.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mmio/Mmio.h"
#include "platform/sfengine/EngineApi.h"

namespace sfenginetest {

// The table of the engine in libsfedt32.so, reached the way the builder reaches it:
// through the "SFEditEngine" data export.
inline SFEditEngineEntry LoadEntry() {
  static void* library = dlopen(SFEDT32_PATH, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  auto* entry = static_cast<const SFEditEngineEntry*>(dlsym(library, kEngineEntryExport));
  return entry == nullptr ? nullptr : *entry;
}

inline EngineApi& Engine() {
  static EngineApi* api = [] {
    EngineApi* table = nullptr;
    SFEditEngineEntry entry = LoadEntry();
    if (entry == nullptr || entry(kEngineInterfaceVersion, &table) != 0) return static_cast<EngineApi*>(nullptr);
    return table;
  }();
  if (api == nullptr) throw std::runtime_error("the engine library could not be loaded");
  return *api;
}

struct TestWav {
  explicit TestWav(std::vector<int16_t> samples = {}, uint32_t sampleRate = 22050)
      : words(std::move(samples)), rate(sampleRate) {}
  std::vector<int16_t> words;
  uint32_t rate;
  uint16_t channels = 1;
  uint16_t bits = 16;
  bool withSampler = true;
  uint32_t unityNote = 60;
  std::optional<std::pair<uint32_t, uint32_t>> loop;  // start, inclusive end
};

inline void WriteBytes(platform::HMMIO file, const std::string& bytes) {
  platform::mmioWrite(file, bytes.data(), static_cast<platform::LONG>(bytes.size()));
}

inline std::string Le(uint32_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
  return text;
}

inline void AddChunk(platform::HMMIO file, const char* id, const std::string& body) {
  platform::MMCKINFO chunk;
  chunk.ckid = platform::mmioFOURCC(id[0], id[1], id[2], id[3]);
  platform::mmioCreateChunk(file, &chunk, 0);
  WriteBytes(file, body);
  platform::mmioAscend(file, &chunk, 0);
}

// A RIFF WAVE file with "fmt ", "data" and, unless told otherwise, "smpl".
inline void WriteWav(const std::filesystem::path& path, const TestWav& wav) {
  using namespace platform;
  HMMIO file = mmioOpen(path, MMIO_CREATE | MMIO_WRITE);
  ASSERT_NE(file, nullptr);
  MMCKINFO riff;
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  mmioCreateChunk(file, &riff, MMIO_CREATERIFF);
  const uint32_t blockAlign = wav.channels * wav.bits / 8;
  AddChunk(file, "fmt ", Le(1, 2) + Le(wav.channels, 2) + Le(wav.rate, 4) + Le(wav.rate * blockAlign, 4) +
                             Le(blockAlign, 2) + Le(wav.bits, 2) + Le(0, 2));
  std::string data;
  for (int16_t word : wav.words) data += Le(static_cast<uint16_t>(word), 2);
  AddChunk(file, "data", data);
  if (wav.withSampler) {
    std::string sampler = Le(0, 4) + Le(0, 4) + Le(1000000000u / wav.rate, 4) + Le(wav.unityNote, 4) +
                          Le(0, 4) + Le(0, 4) + Le(0, 4) + Le(wav.loop ? 1 : 0, 4) + Le(0, 4);
    if (wav.loop) sampler += Le(0, 4) + Le(0, 4) + Le(wav.loop->first, 4) + Le(wav.loop->second, 4) + Le(0, 4) + Le(0, 4);
    AddChunk(file, "smpl", sampler);
  }
  mmioAscend(file, &riff, 0);
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

inline uint32_t U32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

inline uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

// The chunks of a bank file, walked by the RIFF rules alone.
struct Sf2File {
  std::string riffForm;
  std::vector<std::string> lists;         // form types of the top-level LIST chunks
  std::vector<std::string> order;         // sub-chunk ids in file order
  std::map<std::string, std::string> chunks;  // sub-chunk bodies by id

  struct Generator {
    uint16_t id;
    uint16_t amount;
  };
  // The generators of each instrument zone, in file order.
  std::vector<std::vector<Generator>> ZoneGenerators() const {
    const std::string& ibag = chunks.at("ibag");
    const std::string& igen = chunks.at("igen");
    std::vector<std::vector<Generator>> zones;
    for (std::size_t bag = 0; bag + 4 < ibag.size(); bag += 4) {
      std::vector<Generator> zone;
      for (uint16_t g = U16(ibag, bag); g < U16(ibag, bag + 4); ++g) zone.push_back({U16(igen, 4 * g), U16(igen, 4 * g + 2)});
      zones.push_back(zone);
    }
    return zones;
  }
  // Field `offset` of sample header `index`.
  uint32_t SampleField(std::size_t index, std::size_t offset) const { return U32(chunks.at("shdr"), 46 * index + offset); }
  std::string Name(const std::string& chunk, std::size_t recordSize, std::size_t index) const {
    return std::string(chunks.at(chunk).substr(recordSize * index, 20).c_str());
  }
};

inline Sf2File ReadSf2(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string bytes = text.str();
  Sf2File file;
  EXPECT_GE(bytes.size(), 12u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(U32(bytes, 4), bytes.size() - 8);
  file.riffForm = bytes.substr(8, 4);
  for (std::size_t at = 12; at + 12 <= bytes.size();) {
    const uint32_t listSize = U32(bytes, at + 4);
    EXPECT_EQ(bytes.substr(at, 4), "LIST");
    file.lists.push_back(bytes.substr(at + 8, 4));
    const std::size_t listEnd = at + 8 + listSize;
    for (std::size_t sub = at + 12; sub + 8 <= listEnd;) {
      const uint32_t size = U32(bytes, sub + 4);
      file.order.push_back(bytes.substr(sub, 4));
      file.chunks[bytes.substr(sub, 4)] = bytes.substr(sub + 8, size);
      sub += 8 + size + size % 2;
    }
    at = listEnd;
  }
  return file;
}

}  // namespace sfenginetest
