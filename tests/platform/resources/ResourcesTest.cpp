// Embedded resources and version records.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/machine/Machine.h"
#include "platform/resources/Resources.h"
#include "platform/resources/Version.h"
#include "tests/support/MachineFiles.h"

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

// A payload the program carries is copied from the program's file, byte for byte; bytes
// the file does not hold (made at run time) are left to the caller.
TEST(Resources, PayloadsAreCopiedFromTheProgramsFile) {
  InstallResources(&kTable);
  const HRSRC payload = FindResourceA(nullptr, "IDT_LICENSE_TXT", "INSTFILE");
  const std::string madeNow = "made at run time";
  const struct {
    const char* name;
    const void* data;
    size_t size;
    bool copied;
  } cases[] = {
      {"a payload", LockResource(LoadResource(nullptr, payload)), SizeofResource(nullptr, payload), true},
      {"bytes on the heap", madeNow.data(), madeNow.size(), false},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(CopyFromProgramFile(each.data, each.size, fileno(file)), each.copied);
    std::string copy(each.copied ? each.size : 0, '\0');
    EXPECT_EQ(std::fread(copy.data(), 1, each.size, file), copy.size());
    EXPECT_EQ(copy, each.copied ? std::string(static_cast<const char*>(each.data), each.size) : "");
    std::fclose(file);
  }
  InstallResources(nullptr);
}

// Damaged and missing records are covered where system files are placed; here the
// block the calls hand out.
TEST(Versions, HandOutTheRecordInABlockThatIsCheckedBeforeUse) {
  const VS_FIXEDFILEINFO record = MakeVersionRecord(1, 2, 3, 4, VFT_DLL);
  testsupport::WriteMachineFile(
      "C:\\versioned.dll", "program bytes" + std::string(reinterpret_cast<const char*>(&record), sizeof record));
  const DWORD size = GetFileVersionInfoSizeA("C:\\versioned.dll", nullptr);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA("C:\\versioned.dll", 0, size, block.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, 52u);
  EXPECT_EQ(std::memcmp(value, &record, sizeof record), 0);
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo", &value, &length));
  block[6] = 'X';  // the key
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\", &value, &length));
  testsupport::WriteMachineFile("C:\\short.dll", "short");
  EXPECT_EQ(GetFileVersionInfoSizeA("C:\\short.dll", nullptr), 0u);
  EXPECT_EQ(GetFileVersionInfoSizeA("C:\\missing.dll", nullptr), 0u);
}

}  // namespace
