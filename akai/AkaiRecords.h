#pragma once
// The records the AKAI reader fills: partitions, volumes, directory entries, and the
// decoded sample and program headers. Names are 13-byte NUL-terminated ASCII strings,
// converted from the AKAI character set and trimmed.

#include <cstdint>
#include <memory>

#include "common/ChainedList.h"

enum AkaiFileKind : int32_t {
  S1000Program = 0,
  S3000Program = 1,
  S1000Sample = 2,
  S3000Sample = 3,
};

struct AkaiPartition {
  uint16_t startBlock = 0;  // absolute block of the partition's first block
  uint16_t sizeBlocks = 0;
};

struct AkaiVolume {
  char name[13] = {};
  uint16_t dirBlock = 0;  // relative to the partition start
};

struct AkaiFile {
  char name[13] = {};
  AkaiFileKind kind = S1000Sample;
  uint32_t length = 0;      // bytes (24 bits on disc)
  uint16_t startBlock = 0;  // relative to the partition start
};

struct AkaiLoop {
  uint32_t end = 0;  // relative to the played data; 0 = entry not in use
  uint16_t fine = 0;
  uint32_t length = 0;  // sample words
  uint16_t time = 0;    // 0 = not used for play
};

struct AkaiSample {
  uint8_t originalKey = 0;
  char name[13] = {};
  uint32_t sampleCount = 0;  // endMarker - startMarker + 1
  uint32_t startMarker = 0;
  uint32_t endMarker = 0;
  AkaiLoop loops[8] = {};
  uint16_t sampleRate = 0;
  std::unique_ptr<int16_t[]> data;  // sampleCount words, or null when loaded without data
  int8_t centsTune = 0;
  int8_t semitoneTune = 0;
  uint32_t rateFlag = 0;  // 0: nominal 22050 Hz, otherwise 44100 Hz
};

struct AkaiVelocityZone {
  char sampleName[13] = {};
  uint8_t lowVelocity = 0;
  uint8_t highVelocity = 0;
  int8_t centsTune = 0;
  int8_t semitoneTune = 0;
  uint8_t rawBytes[2] = {};  // zone bytes 16 and 17; byte 17 is the zone's filter offset (signed)
  int8_t pan = 0;
  uint8_t loopMode = 0;     // 0 and 1 allow the sample's loop
  uint8_t keyTracking = 0;  // 0 follows the keyboard
  uint8_t rawByte22 = 0;
  uint16_t rawWord24 = 0;
};

struct AkaiKeygroup {
  // Keygroup bytes 3..31: [0] low key, [1] high key, [2] cents, [3] semitones,
  // [9..12] amplitude envelope, [16] its key scaling, [17..20] second envelope,
  // [24] its key scaling.
  uint8_t keygroupBytes[29] = {};
  AkaiVelocityZone zones[4] = {};
  uint32_t zoneCount = 0;  // used zones, packed to the front
  uint8_t byte130 = 0;
  uint8_t byte131 = 0;
  uint8_t byte148 = 0;

  uint8_t lowKey() const { return keygroupBytes[0]; }
  uint8_t highKey() const { return keygroupBytes[1]; }
  int8_t centsTune() const { return static_cast<int8_t>(keygroupBytes[2]); }
  int8_t semitoneTune() const { return static_cast<int8_t>(keygroupBytes[3]); }
};

struct AkaiProgram {
  char name[13] = {};  // first, so that the record's address can stand for its name
  uint8_t header15to41[27] = {};
  uint8_t keygroupCount = 0;
  uint8_t header44to55[12] = {};
  uint8_t header56to71[16] = {};
  ChainedList<AkaiKeygroup> keygroups;
};
