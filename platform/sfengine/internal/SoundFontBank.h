#pragma once
// The form of a SoundFont 2 bank as the edit engine builds it: what the writer turns
// into a file. Headers, zones and names are held in memory, the samples' words in a
// store on disc (SampleStore). Objects refer to each other by position; nothing is ever
// removed from a bank, so positions stay valid for the bank's life.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sfengine/internal/SampleStore.h"

namespace sfengine {

// SoundFont 2 generator ids the engine treats specially.
inline constexpr uint16_t kGenInstrument = 41;
inline constexpr uint16_t kGenKeyRange = 43;
inline constexpr uint16_t kGenVelRange = 44;
inline constexpr uint16_t kGenSampleId = 53;

// Names in preset, instrument and sample headers are 20 bytes, zero-filled; the
// engine keeps at most 19 characters so that every name stays NUL-terminated.
inline constexpr std::size_t kMaxNameLength = 19;

struct SoundFontSample {
  std::string name;
  // The words, little-endian as the bank holds them, lie in the bank's sample store.
  StoredWords words;
  uint32_t wordCount = 0;
  uint32_t rate = 0;
  uint8_t originalPitch = 60;
  int8_t pitchCorrection = 0;  // cents
  // Loop in words from the first word; the end is exclusive. Both 0 when the sample
  // has no loop.
  uint32_t loopStart = 0;
  uint32_t loopEnd = 0;
};

struct SoundFontGenerator {
  uint16_t id;
  uint16_t amount;
};

struct SoundFontZone {
  std::size_t sample;  // position in SoundFontBank::samples
  std::optional<uint16_t> keyRange;
  std::optional<uint16_t> velRange;
  // Every other generator, in the order first set; a repeated id replaces its value.
  std::vector<SoundFontGenerator> generators;
};

struct SoundFontInstrument {
  std::string name;
  std::vector<SoundFontZone> zones;
};

struct SoundFontPreset {
  std::string name;
  uint16_t bankNumber = 0;
  uint16_t presetNumber = 0;
  std::size_t instrument;  // position in SoundFontBank::instruments
};

struct SoundFontBank {
  // INFO sub-chunks other than ifil and isng, by chunk id ("INAM", "ICMT"...).
  std::map<std::string, std::string> info;
  std::vector<SoundFontSample> samples;
  std::vector<SoundFontInstrument> instruments;
  std::vector<SoundFontPreset> presets;
  SampleStore store;
};

// Sets a zone generator: key and velocity ranges go to their fixed places, any other
// id replaces an earlier value of the same id or is appended.
void SetZoneGenerator(SoundFontZone& zone, SoundFontGenerator generator);

// The bank name written as INAM: the one set, else the first preset's name, else
// "Untitled".
std::string BankName(const SoundFontBank& bank);

}  // namespace sfengine
