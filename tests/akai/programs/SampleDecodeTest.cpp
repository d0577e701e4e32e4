// Sample headers decoded from plain buffers written by the header writer.

#include <gtest/gtest.h>

#include <numeric>

#include "akai/AkaiVolumeReader.h"
#include "akai/PlayLoopAndTuning.h"
#include "akai/internal/AkaiHeaders.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"

namespace {

using akaiimage::SampleDescription;
using akaiimage::SampleForm;

std::vector<int16_t> Ramp(size_t count) {
  std::vector<int16_t> words(count);
  std::iota(words.begin(), words.end(), int16_t{-50});
  return words;
}

SampleDescription Description(SampleForm form = SampleForm::S1000, size_t words = 2000) {
  SampleDescription d;
  d.name = "PIANO C3";
  d.form = form;
  d.words = Ramp(words);
  return d;
}

AkaiSample Decode(const std::vector<uint8_t>& file, bool withData = true,
                  AkaiFileKind kind = S1000Sample) {
  AkaiSample sample;
  const auto length = static_cast<uint32_t>(file.size());
  const uint32_t headerSize = akaiheaders::SampleHeaderSize(kind, file.data(), length);
  akaiheaders::DecodeSample(file.data(), length, headerSize, length, withData, sample);
  return sample;
}

void ExpectCorrupt(const std::vector<uint8_t>& file, uint32_t bufferSize, uint32_t fileLength,
                   bool withData) {
  AkaiSample sample;
  try {
    akaiheaders::DecodeSample(file.data(), bufferSize, 150, fileLength, withData, sample);
    ADD_FAILURE() << "header accepted";
  } catch (const AKAIException& e) {
    EXPECT_EQ(e.code, AKAIException::kCorruptData);
  }
  EXPECT_EQ(sample.data, nullptr);
}

TEST(SampleDecode, HeaderFields) {
  SampleDescription d = Description();
  d.sampleRate = 32000;
  d.rateFlag = 1;
  d.originalKey = 48;
  d.centsTune = -10;
  d.semitoneTune = 2;
  d.endMarker = 99;
  const AkaiSample s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_STREQ(s.name, "PIANO C3");
  EXPECT_EQ(s.sampleRate, 32000);
  EXPECT_EQ(s.rateFlag, 1u);
  EXPECT_EQ(s.originalKey, 48);
  EXPECT_EQ(s.centsTune, -10);
  EXPECT_EQ(s.semitoneTune, 2);
  EXPECT_EQ(s.startMarker, 0u);
  EXPECT_EQ(s.endMarker, 99u);
  EXPECT_EQ(s.sampleCount, 100u);
  EXPECT_EQ(s.data, nullptr);
}

TEST(SampleDecode, WordsBetweenTheMarkersAreCopied) {
  SampleDescription d = Description();
  d.startMarker = 10;
  d.endMarker = 19;
  const AkaiSample s = Decode(akaiimage::WriteSampleFile(d));
  ASSERT_EQ(s.sampleCount, 10u);
  ASSERT_NE(s.data, nullptr);
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(s.data[i], d.words[10 + i]) << i;
}

TEST(SampleDecode, FirstWordFollowsTheHeaderOfEachForm) {
  // 150 for S1000; 192 for S3000 files as samplers write them; 180 when the length
  // does not match a 192-byte header.
  for (SampleForm form : {SampleForm::S1000, SampleForm::S3000, SampleForm::S3000Short}) {
    SampleDescription d = Description(form);
    d.startMarker = 7;
    const std::vector<uint8_t> file = akaiimage::WriteSampleFile(d);
    const AkaiFileKind kind = form == SampleForm::S1000 ? S1000Sample : S3000Sample;
    EXPECT_EQ(akaiheaders::SampleHeaderSize(kind, file.data(), file.size()),
              akaiimage::SampleHeaderBytes(form));
    const AkaiSample s = Decode(file, true, kind);
    ASSERT_EQ(s.sampleCount, d.words.size() - 7);
    EXPECT_EQ(s.data[0], d.words[7]);
    EXPECT_EQ(s.data[s.sampleCount - 1], d.words.back());
  }
}

TEST(SampleDecode, PaddedHeaderRuleNeedsTheExactLength) {
  std::vector<uint8_t> file = akaiimage::WriteSampleFile(Description(SampleForm::S3000));
  // An S1000 sample never has the padded header, whatever its length.
  EXPECT_EQ(akaiheaders::SampleHeaderSize(S1000Sample, file.data(), file.size()), 150u);
  // A file two bytes longer than 192 + 2 x word count is read with 180.
  EXPECT_EQ(akaiheaders::SampleHeaderSize(S3000Sample, file.data(), file.size() + 2), 180u);
}

TEST(SampleDecode, LoopEndsAreRoundedAndRelativeToTheStart) {
  SampleDescription d = Description();
  d.loops = {{1000, 200, 3, 1}, {1100, 50, 0, 0}};
  AkaiSample s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_EQ(s.loops[0].end, 961u);
  EXPECT_EQ(s.loops[0].length, 200u);
  EXPECT_EQ(s.loops[0].fine, 3);
  EXPECT_EQ(s.loops[0].time, 1);
  EXPECT_EQ(s.loops[1].end, 1089u);
  EXPECT_EQ(FindPlayLoop(s).start, 761u);
  EXPECT_EQ(FindPlayLoop(s).length, 200u);

  d.startMarker = 100;
  s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_EQ(s.loops[0].end, 861u);
}

TEST(SampleDecode, LoopsAtOrBeforeTheStartMarkerStayEmpty) {
  SampleDescription d = Description();
  d.startMarker = 500;
  d.loops = {{500, 100, 0, 1}, {400, 100, 0, 1}, {1000, 100, 0, 1}};
  const AkaiSample s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_EQ(s.loops[0].end, 0u);
  EXPECT_EQ(s.loops[0].length, 0u);
  EXPECT_EQ(s.loops[1].time, 0);
  EXPECT_EQ(s.loops[2].end, 961u - 500u);
}

TEST(SampleDecode, LoopModeOtherThanZeroOrOneLeavesTheTableEmpty) {
  SampleDescription d = Description();
  d.loops = {{1000, 200, 0, 1}};
  d.loopMode = 1;
  EXPECT_EQ(Decode(akaiimage::WriteSampleFile(d), false).loops[0].end, 961u);
  d.loopMode = 2;
  const AkaiSample s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_EQ(s.loops[0].end, 0u);
  EXPECT_EQ(FindPlayLoop(s).start, 0u);
  EXPECT_EQ(FindPlayLoop(s).length, 0u);
}

TEST(SampleDecode, LoopCountAboveEightReadsEight) {
  SampleDescription d = Description();
  for (uint32_t k = 0; k < 8; ++k) d.loops.push_back({128u * (k + 2), 10, 0, 1});
  d.loopCount = 12;
  const AkaiSample s = Decode(akaiimage::WriteSampleFile(d), false);
  EXPECT_EQ(s.loops[7].end, 128u * 9 + 1);
  // Fewer loops than entries: the rest stay empty, whatever is stored there.
  d.loopCount = 2;
  EXPECT_EQ(Decode(akaiimage::WriteSampleFile(d), false).loops[2].end, 0u);
}

TEST(SampleDecode, NameThatDoesNotConvertIsCorrupt) {
  std::vector<uint8_t> file = akaiimage::WriteSampleFile(Description());
  file[5] = 41;
  ExpectCorrupt(file, file.size(), file.size(), false);
}

TEST(SampleDecode, EndMarkerBelowStartMarkerIsCorrupt) {
  SampleDescription d = Description();
  d.startMarker = 10;
  d.endMarker = 9;
  const std::vector<uint8_t> file = akaiimage::WriteSampleFile(d);
  ExpectCorrupt(file, file.size(), file.size(), false);
  ExpectCorrupt(file, file.size(), file.size(), true);
}

TEST(SampleDecode, MarkersPastTheFileAreCorruptEvenWithoutData) {
  SampleDescription d = Description(SampleForm::S1000, 100);
  d.endMarker = 100;  // one word past the file
  const std::vector<uint8_t> file = akaiimage::WriteSampleFile(d);
  // A header-only load sees one block, far more than the file: the file length decides.
  std::vector<uint8_t> block(8192, 0);
  std::copy(file.begin(), file.end(), block.begin());
  ExpectCorrupt(block, block.size(), file.size(), false);
  // A huge end marker must not wrap around the length arithmetic.
  d.endMarker = 0xFFFFFFFF;
  const std::vector<uint8_t> huge = akaiimage::WriteSampleFile(d);
  ExpectCorrupt(huge, huge.size(), huge.size(), false);
}

TEST(SampleDecode, DataIsNeverCopiedFromPastTheBuffer) {
  // The directory claims more than was read: the header is fine, the words are not there.
  const std::vector<uint8_t> file = akaiimage::WriteSampleFile(Description());
  const auto readBytes = static_cast<uint32_t>(file.size() - 2);
  ExpectCorrupt(file, readBytes, file.size(), true);
  AkaiSample headerOnly;
  akaiheaders::DecodeSample(file.data(), readBytes, 150, file.size(), false, headerOnly);
  EXPECT_EQ(headerOnly.sampleCount, 2000u);
}

TEST(SampleDecode, BufferShorterThanTheHeaderIsCorrupt) {
  const std::vector<uint8_t> file = akaiimage::WriteSampleFile(Description());
  ExpectCorrupt(file, 149, file.size(), false);
  ExpectCorrupt(file, 0, 0, false);
}

TEST(HeaderWriter, NamesOutsideTheAkaiSetAreRefused) {
  EXPECT_EQ(akaiimage::EncodeAkaiName("a#+-.09 Z")[0], 11);
  EXPECT_THROW(akaiimage::EncodeAkaiName("BAD_NAME"), std::invalid_argument);
  EXPECT_THROW(akaiimage::EncodeAkaiName("THIRTEEN CHAR"), std::invalid_argument);
}

}  // namespace
