// Embedded resources and version records.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/machine/Machine.h"
#include "platform/resources/Resources.h"
#include "platform/resources/Version.h"

extern const platform::ResourceEntry kTestResources[];
extern const size_t kTestResourcesCount;

namespace {

using namespace platform;

const StringEntry kStrings[] = {{50000, "Carvox"}, {40000, "SFEDT32.DLL"}};
const ResourceTable kTable{kTestResources, kTestResourcesCount, kStrings, 2};

TEST(Resources, FindsPayloadsByTypeAndNameAndStringsById) {
  InstallResources(&kTable);
  std::ifstream in(EMBEDDED_FILE, std::ios::binary);
  std::stringstream expected;
  expected << in.rdbuf();

  HRSRC found = FindResourceA(nullptr, "idt_license_txt", "instfile");
  ASSERT_NE(found, nullptr);
  const void* bytes = LockResource(LoadResource(nullptr, found));
  EXPECT_EQ(std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, found)), expected.str());
  EXPECT_EQ(FindResourceA(nullptr, "IDT_APPFILE_9", "INSTFILE"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(nullptr, "IDT_LICENSE_TXT", "OTHER"), nullptr);

  char buffer[4];
  EXPECT_EQ(LoadStringA(nullptr, 50000, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "Car");
  EXPECT_EQ(LoadStringA(nullptr, 40001, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  InstallResources(nullptr);
}

std::string Stamped(const VS_FIXEDFILEINFO& record) {
  return std::string("program bytes") + std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

TEST(Versions, ReadTheRecordAtTheFileEndAndTreatDamageAsNone) {
  VS_FIXEDFILEINFO wrongSignature = MakeVersionRecord(1, 2, 3, 4, VFT_DLL);
  wrongSignature.dwSignature ^= 1;
  VS_FIXEDFILEINFO wrongStructure = MakeVersionRecord(1, 2, 3, 4, VFT_DLL);
  wrongStructure.dwStrucVersion = 0x20000;
  const struct {
    const char* name;
    std::string bytes;
    bool hasVersion;
  } cases[] = {
      {"stamped", Stamped(MakeVersionRecord(1, 2, 3, 4, VFT_DLL)), true},
      {"record followed by more bytes", Stamped(MakeVersionRecord(1, 2, 3, 4, VFT_DLL)) + "x", false},
      {"wrong signature", Stamped(wrongSignature), false},
      {"wrong structure version", Stamped(wrongStructure), false},
      {"shorter than a record", "short", false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    std::ofstream(ToHostPath("C:\\versioned.dll"), std::ios::binary) << c.bytes;
    DWORD handle = 7;
    const DWORD size = GetFileVersionInfoSizeA("C:\\versioned.dll", &handle);
    EXPECT_EQ(handle, 0u) << c.name;
    ASSERT_EQ(size != 0, c.hasVersion) << c.name;
    if (!c.hasVersion) continue;
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA("C:\\versioned.dll", 0, size, block.data())) << c.name;
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length)) << c.name;
    ASSERT_EQ(length, 52u);
    VS_FIXEDFILEINFO read;
    std::memcpy(&read, value, sizeof read);
    EXPECT_EQ(read.dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(read.dwProductVersionLS, 0x00030004u);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo", &value, &length));
    block[6] = 'X';  // a damaged block
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length)) << c.name;
  }
  EXPECT_EQ(GetFileVersionInfoSizeA("C:\\missing.dll", nullptr), 0u);
}

TEST(Versions, EveryFileWeBuildCarriesOne) {
  std::ifstream in(STAMPED_FILE, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::optional<VS_FIXEDFILEINFO> record = VersionRecordOf(bytes.str());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->dwFileType, VFT_DLL);
}

}  // namespace
