// Program files decoded from plain buffers written by the header writer.

#include <gtest/gtest.h>

#include "akai/AkaiVolumeReader.h"
#include "akai/internal/AkaiHeaders.h"
#include "tests/support/ScriptedPrompt.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"

namespace {

using akaiimage::KeygroupDescription;
using akaiimage::ProgramDescription;
using akaiimage::ZoneDescription;

KeygroupDescription Keygroup(uint8_t low, uint8_t high) {
  KeygroupDescription k;
  k.lowKey = low;
  k.highKey = high;
  k.zones = {ZoneDescription{.sampleName = "SAMPLE"}};
  return k;
}

ProgramDescription Program(size_t keygroups, bool s3000 = false) {
  ProgramDescription p;
  p.name = "GRAND";
  p.s3000 = s3000;
  for (size_t i = 0; i < keygroups; ++i) {
    p.keygroups.push_back(Keygroup(static_cast<uint8_t>(12 * i), static_cast<uint8_t>(12 * i + 11)));
  }
  return p;
}

uint32_t HeaderSize(const ProgramDescription& p) { return p.s3000 ? 192 : 150; }

// Decodes `file` as if `bufferSize` bytes had been read of a file of its own length.
void Decode(const std::vector<uint8_t>& file, uint32_t headerSize, AkaiProgram& program,
            uint32_t bufferSize = 0) {
  std::vector<uint8_t> buffer(std::max<size_t>(bufferSize, file.size()), 0);
  std::copy(file.begin(), file.end(), buffer.begin());
  akaiheaders::DecodeProgram(buffer.data(), bufferSize ? bufferSize : file.size(), headerSize,
                             file.size(), program);
}

TEST(ProgramDecode, HeaderAndKeygroups) {
  ProgramDescription d = Program(3, true);
  d.lfoSpeed = 11;
  d.lfoDepth = 22;
  d.lfoDelay = 33;
  d.keygroups[1].centsTune = -7;
  d.keygroups[1].semitoneTune = 3;
  d.keygroups[1].ampEnvelope = {1, 2, 3, 4};
  testsupport::ScriptedPrompt prompt;
  AkaiProgram program;
  Decode(akaiimage::WriteProgramFile(d), HeaderSize(d), program);

  EXPECT_STREQ(program.name, "GRAND");
  EXPECT_EQ(program.keygroupCount, 3);
  // LFO speed, depth, delay at header offsets 33, 34, 35.
  EXPECT_EQ(program.header15to41[33 - 15], 11);
  EXPECT_EQ(program.header15to41[34 - 15], 22);
  EXPECT_EQ(program.header15to41[35 - 15], 33);
  ASSERT_EQ(program.keygroups.Count(), 3);
  const AkaiKeygroup& k = *program.keygroups.At(1);
  EXPECT_EQ(k.lowKey(), 12);
  EXPECT_EQ(k.highKey(), 23);
  EXPECT_EQ(k.centsTune(), -7);
  EXPECT_EQ(k.semitoneTune(), 3);
  EXPECT_EQ(k.keygroupBytes[9], 1);
  EXPECT_EQ(k.keygroupBytes[12], 4);
  EXPECT_EQ(k.zoneCount, 1u);
  EXPECT_STREQ(k.zones[0].sampleName, "SAMPLE");
  EXPECT_TRUE(prompt.messages().empty());
}

TEST(ProgramDecode, ZoneFields) {
  ProgramDescription d = Program(1);
  d.keygroups[0].zones = {ZoneDescription{.sampleName = "KICK",
                                          .lowVelocity = 10,
                                          .highVelocity = 90,
                                          .centsTune = -5,
                                          .semitoneTune = -12,
                                          .filter = -20,
                                          .pan = -30,
                                          .loopMode = 2,
                                          .keyTracking = 1}};
  AkaiProgram program;
  Decode(akaiimage::WriteProgramFile(d), HeaderSize(d), program);
  const AkaiVelocityZone& z = program.keygroups.At(0)->zones[0];
  EXPECT_STREQ(z.sampleName, "KICK");
  EXPECT_EQ(z.lowVelocity, 10);
  EXPECT_EQ(z.highVelocity, 90);
  EXPECT_EQ(z.centsTune, -5);
  EXPECT_EQ(z.semitoneTune, -12);
  EXPECT_EQ(static_cast<int8_t>(z.rawBytes[1]), -20);
  EXPECT_EQ(z.pan, -30);
  EXPECT_EQ(z.loopMode, 2);
  EXPECT_EQ(z.keyTracking, 1);
}

TEST(ProgramDecode, UsedZonesArePackedButKeepTheirOwnKeyTracking) {
  ProgramDescription d = Program(1);
  d.keygroups[0].zones = {ZoneDescription{.sampleName = "A", .keyTracking = 5},
                          ZoneDescription{.sampleName = "", .keyTracking = 6},
                          ZoneDescription{.sampleName = "C", .keyTracking = 7}};
  std::vector<uint8_t> file = akaiimage::WriteProgramFile(d);
  // Zone 3: a name that does not convert counts as unused.
  file[150 + 34 + 24 * 3] = 200;
  file[150 + 136 + 2] = 0x42;  // raw byte of disc zone 2
  AkaiProgram program;
  Decode(file, 150, program);
  const AkaiKeygroup& k = *program.keygroups.At(0);
  EXPECT_EQ(k.zoneCount, 2u);
  EXPECT_STREQ(k.zones[1].sampleName, "C");
  EXPECT_EQ(k.zones[1].keyTracking, 7);  // keygroup byte 134
  EXPECT_EQ(k.zones[1].rawByte22, 0x42);
  EXPECT_STREQ(k.zones[2].sampleName, "");
  EXPECT_EQ(k.zones[2].keyTracking, 0);
}

TEST(ProgramDecode, CorruptKeygroupShortensTheProgramWithAWarning) {
  ProgramDescription d = Program(5);
  d.keygroups[2].mark = 0;
  testsupport::ScriptedPrompt prompt;
  AkaiProgram program;
  Decode(akaiimage::WriteProgramFile(d), HeaderSize(d), program);
  EXPECT_EQ(program.keygroupCount, 2);
  EXPECT_EQ(program.keygroups.Count(), 2);
  ASSERT_EQ(prompt.messages().size(), 1u);
  EXPECT_EQ(prompt.messages()[0].text,
            "WARNING: program seems corrupt. Skipping keygroups 3 through 5.");
  EXPECT_EQ(prompt.messages()[0].type & platform::MB_ICONMASK, platform::MB_ICONSTOP);
}

TEST(ProgramDecode, FileEndingEarlyKeepsTheKeygroupsThatFit) {
  // The header promises 5 keygroups, the buffer holds the header and 2 of them: the
  // third keygroup's first byte lies exactly at the buffer's end and is not read.
  ProgramDescription d = Program(2);
  d.keygroupCount = 5;
  const std::vector<uint8_t> file = akaiimage::WriteProgramFile(d);
  ASSERT_EQ(file.size(), 450u);
  testsupport::ScriptedPrompt prompt;
  AkaiProgram program;
  Decode(file, 150, program);
  EXPECT_EQ(program.keygroups.Count(), 2);
  EXPECT_EQ(program.keygroupCount, 5);
  EXPECT_TRUE(prompt.messages().empty());
}

TEST(ProgramDecode, NoKeygroups) {
  AkaiProgram program;
  program.keygroups.Append(new AkaiKeygroup{});  // left from an earlier load
  Decode(akaiimage::WriteProgramFile(Program(0)), 150, program);
  EXPECT_EQ(program.keygroupCount, 0);
  EXPECT_EQ(program.keygroups.Count(), 0);
}

TEST(ProgramDecode, NameThatDoesNotConvertIsCorrupt) {
  std::vector<uint8_t> file = akaiimage::WriteProgramFile(Program(1));
  file[3] = 99;
  AkaiProgram program;
  try {
    Decode(file, 150, program);
    ADD_FAILURE() << "program accepted";
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }
}

}  // namespace
