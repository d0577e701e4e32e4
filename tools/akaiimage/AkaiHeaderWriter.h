#pragma once
// Writes the raw bytes of AKAI sample and program files from plain descriptions, for
// the disc image builder (tests and the demo-disc generator). Names are given in ASCII
// and stored in the AKAI character set; values not described are written as zero.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace akaiimage {

// The 12 AKAI bytes of an ASCII name: upper-cased, padded with AKAI spaces. Characters
// outside the AKAI set (and anything past 12) throw std::invalid_argument.
std::array<uint8_t, 12> EncodeAkaiName(std::string_view name);

struct SampleLoopDescription {
  uint32_t loopAt = 0;  // the loop's end point, a sample index in the file
  uint32_t length = 0;  // words
  uint16_t fine = 0;
  uint16_t time = 0;  // 0: not used for play
};

enum class SampleForm {
  S1000,        // 150-byte header
  S3000,        // 192-byte header, as S3000 samplers write it
  S3000Short,   // 180-byte header
};

struct SampleDescription {
  std::string name;
  SampleForm form = SampleForm::S1000;
  uint16_t sampleRate = 44100;
  uint8_t rateFlag = 1;  // nominal rate: 0 for 22050 Hz, non-zero for 44100 Hz
  uint8_t originalKey = 60;
  int8_t centsTune = 0;
  int8_t semitoneTune = 0;
  uint8_t loopMode = 0;  // 0 and 1 let the loops play
  std::vector<SampleLoopDescription> loops;
  std::optional<uint8_t> loopCount;     // default: loops.size()
  std::optional<uint32_t> startMarker;  // default: 0
  std::optional<uint32_t> endMarker;    // default: the last word
  std::vector<int16_t> words;           // every word of the file, markers index into it
};

// Header bytes followed by the words, little-endian.
std::vector<uint8_t> WriteSampleFile(const SampleDescription& sample);
uint32_t SampleHeaderBytes(SampleForm form);

struct ZoneDescription {
  std::string sampleName;  // empty: an unused zone (blank name)
  uint8_t lowVelocity = 0;
  uint8_t highVelocity = 127;
  int8_t centsTune = 0;
  int8_t semitoneTune = 0;
  int8_t filter = 0;  // offset to the keygroup's filter
  int8_t pan = 0;
  uint8_t loopMode = 0;     // 0 and 1 allow the sample's loop
  uint8_t keyTracking = 0;  // 0 follows the keyboard
};

struct KeygroupDescription {
  uint8_t lowKey = 0;
  uint8_t highKey = 127;
  int8_t centsTune = 0;
  int8_t semitoneTune = 0;
  uint8_t filter = 99;
  std::array<uint8_t, 4> ampEnvelope = {0, 50, 99, 45};  // attack, decay, sustain, release
  std::array<uint8_t, 4> envelope2 = {0, 50, 99, 45};
  std::vector<ZoneDescription> zones;  // up to 4, in disc order
  uint8_t mark = 2;                    // first byte; anything else marks a corrupt keygroup
};

struct ProgramDescription {
  std::string name;
  bool s3000 = false;  // 192-byte header and keygroups instead of 150
  uint8_t lfoSpeed = 50;
  uint8_t lfoDepth = 0;
  uint8_t lfoDelay = 0;
  std::vector<KeygroupDescription> keygroups;
  std::optional<uint8_t> keygroupCount;  // default: keygroups.size()
};

// The program header followed by one record per keygroup.
std::vector<uint8_t> WriteProgramFile(const ProgramDescription& program);

}  // namespace akaiimage
