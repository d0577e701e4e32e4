#include "tools/akaiimage/AkaiHeaderWriter.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace akaiimage {
namespace {

constexpr uint8_t kAkaiSpace = 10;
constexpr uint8_t kSampleBlockId = 3;
constexpr uint8_t kProgramBlockId = 1;
constexpr uint8_t kValidFlag = 0x80;

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

void PutName(std::vector<uint8_t>& bytes, size_t at, std::string_view name) {
  const std::array<uint8_t, 12> akai = EncodeAkaiName(name);
  std::copy(akai.begin(), akai.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

uint8_t AkaiCharacter(char c) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper >= '0' && upper <= '9') return static_cast<uint8_t>(upper - '0');
  if (upper == ' ') return kAkaiSpace;
  if (upper >= 'A' && upper <= 'Z') return static_cast<uint8_t>(upper - 'A' + 11);
  switch (upper) {
    case '#': return 37;
    case '+': return 38;
    case '-': return 39;
    case '.': return 40;
    default: throw std::invalid_argument("not an AKAI character in name: " + std::string(1, c));
  }
}

void WriteSampleHeader(const SampleDescription& sample, std::vector<uint8_t>& bytes) {
  const auto wordCount = static_cast<uint32_t>(sample.words.size());
  bytes[0] = kSampleBlockId;
  bytes[1] = sample.rateFlag;
  bytes[2] = sample.originalKey;
  PutName(bytes, 3, sample.name);
  bytes[15] = kValidFlag;
  bytes[16] = sample.loopCount.value_or(static_cast<uint8_t>(sample.loops.size()));
  bytes[19] = sample.loopMode;
  bytes[20] = static_cast<uint8_t>(sample.centsTune);
  bytes[21] = static_cast<uint8_t>(sample.semitoneTune);
  Put32(bytes, 26, wordCount);
  Put32(bytes, 30, sample.startMarker.value_or(0));
  Put32(bytes, 34, sample.endMarker.value_or(wordCount == 0 ? 0 : wordCount - 1));
  const size_t loops = std::min<size_t>(sample.loops.size(), 8);
  for (size_t k = 0; k < loops; ++k) {
    const SampleLoopDescription& loop = sample.loops[k];
    const size_t at = 38 + 12 * k;
    Put32(bytes, at, loop.loopAt);
    Put16(bytes, at + 4, loop.fine);
    Put32(bytes, at + 6, loop.length);
    Put16(bytes, at + 10, loop.time);
  }
  Put16(bytes, 138, sample.sampleRate);
}

void WriteZone(const ZoneDescription& zone, size_t z, std::vector<uint8_t>& bytes, size_t group) {
  const size_t at = group + 34 + 24 * z;
  PutName(bytes, at, zone.sampleName);
  bytes[at + 12] = zone.lowVelocity;
  bytes[at + 13] = zone.highVelocity;
  bytes[at + 14] = static_cast<uint8_t>(zone.centsTune);
  bytes[at + 15] = static_cast<uint8_t>(zone.semitoneTune);
  bytes[at + 17] = static_cast<uint8_t>(zone.filter);
  bytes[at + 18] = static_cast<uint8_t>(zone.pan);
  bytes[at + 19] = zone.loopMode;
  bytes[group + 132 + z] = zone.keyTracking;
}

void WriteKeygroup(const KeygroupDescription& keygroup, std::vector<uint8_t>& bytes, size_t at) {
  if (keygroup.zones.size() > 4) throw std::invalid_argument("a keygroup holds at most 4 zones");
  bytes[at] = keygroup.mark;
  bytes[at + 3] = keygroup.lowKey;
  bytes[at + 4] = keygroup.highKey;
  bytes[at + 5] = static_cast<uint8_t>(keygroup.centsTune);
  bytes[at + 6] = static_cast<uint8_t>(keygroup.semitoneTune);
  bytes[at + 7] = keygroup.filter;
  std::copy(keygroup.ampEnvelope.begin(), keygroup.ampEnvelope.end(), bytes.begin() + at + 12);
  std::copy(keygroup.envelope2.begin(), keygroup.envelope2.end(), bytes.begin() + at + 20);
  // Unused zone slots carry a blank name, as on the sampler.
  for (size_t z = 0; z < 4; ++z) {
    WriteZone(z < keygroup.zones.size() ? keygroup.zones[z] : ZoneDescription{}, z, bytes, at);
  }
}

}  // namespace

std::array<uint8_t, 12> EncodeAkaiName(std::string_view name) {
  if (name.size() > 12) throw std::invalid_argument("AKAI name longer than 12: " + std::string(name));
  std::array<uint8_t, 12> bytes;
  bytes.fill(kAkaiSpace);
  for (size_t i = 0; i < name.size(); ++i) bytes[i] = AkaiCharacter(name[i]);
  return bytes;
}

uint32_t SampleHeaderBytes(SampleForm form) {
  switch (form) {
    case SampleForm::S1000: return 150;
    case SampleForm::S3000: return 192;
    case SampleForm::S3000Short: return 180;
  }
  throw std::invalid_argument("unknown sample form");
}

std::vector<uint8_t> WriteSampleFile(const SampleDescription& sample) {
  const uint32_t headerSize = SampleHeaderBytes(sample.form);
  std::vector<uint8_t> bytes(headerSize + 2 * sample.words.size(), 0);
  WriteSampleHeader(sample, bytes);
  for (size_t i = 0; i < sample.words.size(); ++i) {
    Put16(bytes, headerSize + 2 * i, static_cast<uint16_t>(sample.words[i]));
  }
  return bytes;
}

std::vector<uint8_t> WriteProgramFile(const ProgramDescription& program) {
  const size_t recordSize = program.s3000 ? 192 : 150;
  std::vector<uint8_t> bytes(recordSize * (program.keygroups.size() + 1), 0);
  bytes[0] = kProgramBlockId;
  PutName(bytes, 3, program.name);
  bytes[33] = program.lfoSpeed;
  bytes[34] = program.lfoDepth;
  bytes[35] = program.lfoDelay;
  bytes[42] = program.keygroupCount.value_or(static_cast<uint8_t>(program.keygroups.size()));
  for (size_t i = 0; i < program.keygroups.size(); ++i) {
    WriteKeygroup(program.keygroups[i], bytes, recordSize * (i + 1));
  }
  return bytes;
}

}  // namespace akaiimage
