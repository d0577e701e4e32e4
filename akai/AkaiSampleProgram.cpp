// Loading samples and programs by name, and decoding their headers.

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "akai/AkaiHeaders.h"
#include "akai/AkaiNames.h"
#include "akai/LittleEndian.h"
#include "akai/AkaiVolumeReader.h"
#include "platform/prompt/Prompt.h"

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
  platform::MessageBox(text, platform::MB_OK | platform::MB_ICONSTOP);
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

namespace {

// Compares a directory name with a wanted name the way the sampler does: trailing
// spaces of the stored name do not count, case does.
bool SameName(const char (&stored)[13], const char* wanted) {
  char name[13];
  std::memcpy(name, stored, sizeof name);
  for (int i = 11; i >= 0 && (name[i] == ' ' || name[i] == '\0'); --i) name[i] = '\0';
  name[12] = '\0';
  return std::strcmp(name, wanted) == 0;
}

const AkaiFile& FindFile(const ChainedList<AkaiFile>& files, const char* name, AkaiFileKind s1000,
                         AkaiFileKind s3000) {
  const int count = files.Count();
  for (int i = 0; i < count; ++i) {
    const AkaiFile& file = *files.At(i);
    if ((file.kind == s1000 || file.kind == s3000) && SameName(file.name, name)) return file;
  }
  throw AKAIException{AKAIException::kNameNotFound};
}

// The directory is re-read only when nothing is listed or another volume is asked for
// (ReadFiles makes the partition and volume current).
const AkaiPartition& OpenVolume(AkaiVolumeReader& reader, uint16_t partition, uint16_t volume) {
  if (reader.files().Count() == 0 || reader.currentPartition() != partition ||
      reader.currentVolume() != volume) {
    reader.ReadFiles(partition, volume);
  }
  return *reader.partitions().At(partition);
}

}  // namespace

void AkaiVolumeReader::LoadSample(uint16_t partition, uint16_t volume, const char* name,
                                  bool withData) {
  ReadSample(partition, volume, name, withData, withData);
}

std::span<const uint8_t> AkaiVolumeReader::LoadSampleBytes(uint16_t partition, uint16_t volume, const char* name) {
  const uint32_t headerSize = ReadSample(partition, volume, name, true, false);
  // The played words end within the file's length (checked), so within the blocks read.
  return {fileBuffer_.get() + headerSize + 2ULL * sample_.startMarker, 2ULL * sample_.sampleCount};
}

uint32_t AkaiVolumeReader::ReadSample(uint16_t partition, uint16_t volume, const char* name, bool allBlocks,
                                      bool copyWords) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Sample, S3000Sample);

  // At least the first block, also for an empty file, so that the header fields can be
  // looked at (and the file rejected by its length).
  const uint32_t blocks = allBlocks ? std::max<uint32_t>(1, BlocksOf(file.length)) : 1;
  if (allBlocks) {
    ReadFileBlocks(file, blocks, part.startBlock, false);
  } else {
    ReadContiguousBlocks(uint32_t{part.startBlock} + file.startBlock, blocks);
  }

  const uint8_t* buffer = fileBuffer_.get();
  const uint32_t headerSize = akaiheaders::SampleHeaderSize(file.kind, buffer, file.length);
  akaiheaders::DecodeSample(buffer, blocks * kBlockSize, headerSize, file.length, copyWords, sample_);
  return headerSize;
}

std::optional<std::vector<FileRun>> AkaiVolumeReader::LocateSampleWords(uint16_t partition, uint16_t volume,
                                                                         const char* name) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Sample, S3000Sample);
  if (!source_.FileRunOf((uint32_t{part.startBlock} + file.startBlock) * kSectorsPerBlock, kSectorsPerBlock)) {
    return std::nullopt;
  }
  const uint32_t headerSize = ReadSample(partition, volume, name, false, false);
  // The played words, as bytes of the file's blocks taken in order.
  uint64_t skip = headerSize + 2ULL * sample_.startMarker;
  uint64_t left = 2ULL * sample_.sampleCount;
  std::vector<FileRun> words;
  // Every block is checked, those after the words too: a load with data reads them all.
  for (const BlockRun& run : SampleBlockRuns(file, part.startBlock)) {
    const std::optional<FileRun> blocks = source_.FileRunOf(run.first * kSectorsPerBlock, run.count * kSectorsPerBlock);
    if (!blocks) return std::nullopt;
    const uint64_t from = std::min(skip, blocks->bytes);
    const uint64_t take = std::min(left, blocks->bytes - from);
    if (take > 0) words.push_back({blocks->fd, blocks->offset + from, take});
    skip -= from;
    left -= take;
  }
  return words;
}

void AkaiVolumeReader::LoadProgram(uint16_t partition, uint16_t volume, const char* name) {
  const AkaiPartition& part = OpenVolume(*this, partition, volume);
  const AkaiFile& file = FindFile(files_, name, S1000Program, S3000Program);

  const uint32_t headerSize = file.kind == S3000Program ? akaiheaders::kS3000ProgramHeaderSize
                                                       : akaiheaders::kS1000HeaderSize;
  const uint32_t blocks = BlocksOf(file.length);
  ReadFileBlocks(file, blocks, part.startBlock, true);
  // Keygroups come only from the file's own bytes: the rest of its last block belongs
  // to no one and may hold another file's stale bytes.
  akaiheaders::DecodeProgram(fileBuffer_.get(), std::min(blocks * kBlockSize, file.length), headerSize,
                             file.length, program_);
}
