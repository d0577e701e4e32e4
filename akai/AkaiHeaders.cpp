// Decoding sample and program headers from plain buffers (akai/internal/AkaiHeaders.h).

#include "akai/internal/AkaiHeaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "akai/AkaiException.h"
#include "akai/LittleEndian.h"
#include "akai/internal/AkaiNames.h"
#include "common/Warnings.h"

namespace akaiheaders {
namespace {

// Sample header offsets.
constexpr uint32_t kRateFlag = 1;
constexpr uint32_t kOriginalKey = 2;
constexpr uint32_t kName = 3;
constexpr uint32_t kLoopCount = 16;
constexpr uint32_t kLoopMode = 19;
constexpr uint32_t kCents = 20;
constexpr uint32_t kSemitones = 21;
constexpr uint32_t kWordCount = 26;
constexpr uint32_t kStartMarker = 30;
constexpr uint32_t kEndMarker = 34;
constexpr uint32_t kLoops = 38;
constexpr uint32_t kLoopEntrySize = 12;
constexpr uint32_t kSampleRate = 138;
constexpr uint32_t kMaxLoops = 8;

// Program header and keygroup offsets.
constexpr uint32_t kKeygroupCount = 42;
constexpr uint32_t kKeygroupBytes = 3;
constexpr uint32_t kZoneName = 34;
constexpr uint32_t kZoneRecordSize = 24;
constexpr uint32_t kZoneBytes = 46;  // low/high velocity, cents, semitones, 2 raw, pan, loop mode
constexpr uint32_t kKeyTracking = 132;
constexpr uint32_t kZoneByte22 = 136;
constexpr uint32_t kZoneWord24 = 140;

[[noreturn]] void Corrupt() { throw AKAIException{AKAIException::kCorruptData}; }

void DecodeLoops(const uint8_t* buffer, AkaiSample& sample) {
  for (AkaiLoop& loop : sample.loops) loop = AkaiLoop{};
  const uint8_t loopMode = buffer[kLoopMode];
  if (loopMode != 0 && loopMode != 1) return;

  const uint32_t loopCount = std::min<uint32_t>(buffer[kLoopCount], kMaxLoops);
  for (uint32_t k = 0; k < loopCount; ++k) {
    const uint8_t* entry = buffer + kLoops + kLoopEntrySize * k;
    const uint32_t loopAt = ReadU32(entry);
    if (loopAt <= sample.startMarker) continue;
    // The sampler plays loop ends on 64-word boundaries.
    sample.loops[k].end = (loopAt - loopAt % 64) + 1 - sample.startMarker;
    sample.loops[k].fine = ReadU16(entry + 4);
    sample.loops[k].length = ReadU32(entry + 6);
    sample.loops[k].time = ReadU16(entry + 10);
  }
}

void CopyWords(const uint8_t* from, uint32_t count, AkaiSample& sample) {
  sample.data = std::make_unique_for_overwrite<int16_t[]>(count);
  // The words are little-endian on disc: on a little-endian host they copy as they are.
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(sample.data.get(), from, size_t{count} * 2);
  } else {
    for (uint32_t i = 0; i < count; ++i) sample.data[i] = static_cast<int16_t>(ReadU16(from + 2 * i));
  }
}

void DecodeZone(const uint8_t* keygroup, uint32_t z, AkaiVelocityZone& zone) {
  const uint8_t* bytes = keygroup + kZoneBytes + kZoneRecordSize * z;
  zone.lowVelocity = bytes[0];
  zone.highVelocity = bytes[1];
  zone.centsTune = static_cast<int8_t>(bytes[2]);
  zone.semitoneTune = static_cast<int8_t>(bytes[3]);
  zone.rawBytes[0] = bytes[4];
  zone.rawBytes[1] = bytes[5];
  zone.pan = static_cast<int8_t>(bytes[6]);
  zone.loopMode = bytes[7];
  // The per-zone bytes further back in the keygroup go by the zone's place on disc,
  // not by the slot it is packed into.
  zone.keyTracking = keygroup[kKeyTracking + z];
  zone.rawByte22 = keygroup[kZoneByte22 + z];
  zone.rawWord24 = ReadU16(keygroup + kZoneWord24 + 2 * z);
}

void DecodeKeygroup(const uint8_t* keygroup, AkaiKeygroup& group) {
  std::memcpy(group.keygroupBytes, keygroup + kKeygroupBytes, sizeof group.keygroupBytes);
  for (uint32_t z = 0; z < 4; ++z) {
    AkaiVelocityZone& slot = group.zones[group.zoneCount];
    // An unused zone has a blank name (or one that does not convert).
    if (!ConvertAkaiName(keygroup + kZoneName + kZoneRecordSize * z, slot.sampleName) ||
        slot.sampleName[0] == '\0') {
      slot = AkaiVelocityZone{};
      continue;
    }
    DecodeZone(keygroup, z, slot);
    ++group.zoneCount;
  }
  group.byte130 = keygroup[130];
  group.byte131 = keygroup[131];
  group.byte148 = keygroup[148];
}

void WarnCorruptProgram(int firstSkipped, int last) {
  char text[96];
  std::snprintf(text, sizeof text, "WARNING: program seems corrupt. Skipping keygroups %d through %d.",
                firstSkipped, last);
  Warn(text);
}

}  // namespace

uint32_t SampleHeaderSize(AkaiFileKind kind, const uint8_t* header, uint32_t fileLength) {
  if (kind != S3000Sample) return kS1000HeaderSize;
  const uint64_t paddedLength = kS3000PaddedHeaderSize + 2ULL * ReadU32(header + kWordCount);
  return paddedLength == fileLength ? kS3000PaddedHeaderSize : kS3000SampleHeaderSize;
}

void DecodeSample(const uint8_t* buffer, uint32_t bufferSize, uint32_t headerSize,
                  uint32_t fileLength, bool withData, AkaiSample& sample) {
  sample.data.reset();
  if (bufferSize < headerSize || bufferSize < kS1000HeaderSize) Corrupt();

  sample.rateFlag = buffer[kRateFlag];
  sample.originalKey = buffer[kOriginalKey];
  if (!ConvertAkaiName(buffer + kName, sample.name)) Corrupt();
  sample.centsTune = static_cast<int8_t>(buffer[kCents]);
  sample.semitoneTune = static_cast<int8_t>(buffer[kSemitones]);

  sample.startMarker = ReadU32(buffer + kStartMarker);
  sample.endMarker = ReadU32(buffer + kEndMarker);
  // The markers are checked against the file's own length, so that a header-only load
  // (one block) rejects the same samples as a load with data.
  const uint64_t endOfPlayedData = headerSize + 2ULL * (uint64_t{sample.endMarker} + 1);
  if (sample.endMarker < sample.startMarker || endOfPlayedData > fileLength) Corrupt();
  sample.sampleCount = sample.endMarker - sample.startMarker + 1;

  DecodeLoops(buffer, sample);
  sample.sampleRate = ReadU16(buffer + kSampleRate);

  if (!withData) return;
  if (endOfPlayedData > bufferSize) Corrupt();
  CopyWords(buffer + headerSize + 2ULL * sample.startMarker, sample.sampleCount, sample);
}

void DecodeProgram(const uint8_t* buffer, uint32_t bufferSize, uint32_t headerSize,
                   uint32_t fileLength, AkaiProgram& program) {
  program.keygroups.Clear();
  if (fileLength < headerSize || bufferSize < headerSize || headerSize < kS1000HeaderSize) {
    Corrupt();
  }

  if (!ConvertAkaiName(buffer + 3, program.name)) Corrupt();
  std::memcpy(program.header15to41, buffer + 15, sizeof program.header15to41);
  program.keygroupCount = buffer[kKeygroupCount];
  std::memcpy(program.header44to55, buffer + 44, sizeof program.header44to55);
  std::memcpy(program.header56to71, buffer + 56, sizeof program.header56to71);

  for (uint32_t i = 0; i < program.keygroupCount; ++i) {
    const uint64_t offset = uint64_t{headerSize} * (i + 1);
    if (offset + headerSize > bufferSize) return;  // the file ends early
    auto* group = new AkaiKeygroup{};
    program.keygroups.Append(group);
    DecodeKeygroup(buffer + offset, *group);

    // The next keygroup's first byte can sit exactly at the buffer's end; only a byte
    // inside the buffer is checked (the loop stops there anyway).
    const uint64_t next = offset + headerSize;
    if (i + 1 < program.keygroupCount && next < bufferSize && buffer[next] != kKeygroupMark) {
      WarnCorruptProgram(static_cast<int>(i + 2), program.keygroupCount);
      program.keygroupCount = static_cast<uint8_t>(i + 1);
      return;
    }
  }
}

}  // namespace akaiheaders
