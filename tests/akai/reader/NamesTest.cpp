#include <gtest/gtest.h>

#include <cstring>

#include "akai/internal/AkaiNames.h"

namespace {

TEST(AkaiToAscii, ConvertsAndTrimsAName) {
  uint8_t name[13] = {11, 12, 13, 10, 10, 10, 10, 10, 10, 10, 10, 10, 0xEE};
  EXPECT_TRUE(AkaiToAscii(name, 12, true));
  EXPECT_STREQ(reinterpret_cast<char*>(name), "ABC");
}

TEST(AkaiToAscii, MapsDigitsLettersAndSymbols) {
  uint8_t bytes[] = {0, 9, 37, 38, 39, 40, 11, 36, 10};
  EXPECT_TRUE(AkaiToAscii(bytes, 9, false));
  EXPECT_EQ(0, std::memcmp(bytes, "09#+-.AZ ", 9));
}

TEST(AkaiToAscii, InvalidByteIsKeptAndTheRestStillConverted) {
  uint8_t bytes[13] = {11, 41, 12, 255, 10, 10, 10, 10, 10, 10, 10, 10};
  EXPECT_FALSE(AkaiToAscii(bytes, 12, true));
  EXPECT_EQ(bytes[0], 'A');
  EXPECT_EQ(bytes[1], 41);
  EXPECT_EQ(bytes[2], 'B');
  EXPECT_EQ(bytes[3], 255);
  EXPECT_EQ(bytes[4], 0);  // trimmed after the last non-space
}

TEST(AkaiToAscii, TrimmingEdges) {
  uint8_t spaces[13];
  std::memset(spaces, 10, 12);
  EXPECT_TRUE(AkaiToAscii(spaces, 12, true));
  EXPECT_STREQ(reinterpret_cast<char*>(spaces), "");

  uint8_t full[13] = {11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 12, 0xEE};
  EXPECT_TRUE(AkaiToAscii(full, 12, true));
  EXPECT_STREQ(reinterpret_cast<char*>(full), "AAAAAAAAAAAB");

  // Inner spaces stay.
  uint8_t inner[13] = {11, 10, 12, 10, 10, 10, 10, 10, 10, 10, 10, 10};
  EXPECT_TRUE(AkaiToAscii(inner, 12, true));
  EXPECT_STREQ(reinterpret_cast<char*>(inner), "A B");
}

TEST(ClassifyFileType, RecognisesBothFormsOfEveryLetter) {
  for (char letter : std::string("aobcydpsqtx")) {
    uint8_t type = static_cast<uint8_t>(letter);
    bool s3000 = true;
    EXPECT_TRUE(ClassifyFileType(type, s3000)) << letter;
    EXPECT_FALSE(s3000);
    EXPECT_EQ(type, static_cast<uint8_t>(letter));

    type = static_cast<uint8_t>(letter ^ 0x80);
    EXPECT_TRUE(ClassifyFileType(type, s3000)) << letter;
    EXPECT_TRUE(s3000);
    EXPECT_EQ(type, static_cast<uint8_t>(letter));  // rewritten to the plain letter
  }
}

TEST(ClassifyFileType, ProgramsSamplesAndNonFiles) {
  uint8_t type = 0xF0;
  bool s3000 = false;
  ASSERT_TRUE(ClassifyFileType(type, s3000));
  EXPECT_EQ(type, 0x70);
  EXPECT_TRUE(s3000);

  type = 0xF3;
  ASSERT_TRUE(ClassifyFileType(type, s3000));
  EXPECT_EQ(type, 's');
  EXPECT_TRUE(s3000);

  for (uint8_t notAFile : {uint8_t{0x41}, uint8_t{0}, uint8_t{0x80}, uint8_t{'z'}, uint8_t{'P'}}) {
    type = notAFile;
    EXPECT_FALSE(ClassifyFileType(type, s3000)) << int{notAFile};
    EXPECT_EQ(type, notAFile);
  }
}

}  // namespace
