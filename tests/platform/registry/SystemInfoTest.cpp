#include "platform/registry/SystemInfo.h"

#include "tests/platform/registry/RegistryTestSupport.h"

using namespace platform;

namespace {

using SystemInfo = FreshRegistry;

OSVERSIONINFOA Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_TRUE(GetVersionExA(&info));
  return info;
}

void SetVersion(DWORD platformId, DWORD major, DWORD minor) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const auto& [name, value] : {std::pair{"PlatformId", platformId}, {"MajorVersion", major}, {"MinorVersion", minor}}) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

TEST_F(SystemInfo, TheDefaultIsWindowsNt51) {
  const OSVERSIONINFOA info = Version();
  EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 5u);
  EXPECT_EQ(info.dwMinorVersion, 1u);
  EXPECT_EQ(info.dwBuildNumber, 2600u);
}

TEST_F(SystemInfo, AMachineCanPlayWindows98AndNt4) {
  SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
  OSVERSIONINFOA info = Version();
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 10u);
  SetVersion(VER_PLATFORM_WIN32_NT, 4, 0);
  info = Version();
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
}

TEST_F(SystemInfo, AVersionValueOfAnotherTypeKeepsItsDefault) {
  HKEY key = Create(kVersionKey);
  ASSERT_EQ(SetText(key, "PlatformId", "1"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "CSDVersion", "Service Pack 6"), ERROR_SUCCESS);
  RegCloseKey(key);
  const OSVERSIONINFOA info = Version();
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_STREQ(info.szCSDVersion, "Service Pack 6");
}

TEST_F(SystemInfo, TheLongerRecordIsFilledAndOtherSizesFail) {
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof extended;
  extended.wReserved = 0xAA;
  ASSERT_TRUE(GetVersionExA(&extended));
  EXPECT_EQ(extended.dwOSVersionInfoSize, 156u);
  EXPECT_EQ(extended.dwMajorVersion, 5u);
  EXPECT_EQ(extended.wProductType, VER_NT_WORKSTATION);
  EXPECT_EQ(extended.wReserved, 0);

  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = 150;
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST_F(SystemInfo, DriveMaskHasCAndZPlusMountedDevices) {
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 25));
  HKEY key = Create("SYSTEM\\MountedDevices");
  const BYTE device[] = {'C', 0, 'D', 0, 0, 0};
  for (const char* name : {"\\DosDevices\\E:", "\\DosDevices\\f:", "\\DosDevices\\G:extra", "\\??\\Volume{1}",
                           "\\DosDevices\\1:"}) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_BINARY, device, sizeof device), ERROR_SUCCESS);
  }
  RegCloseKey(key);
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 4) | (1u << 5) | (1u << 25));
}

TEST_F(SystemInfo, DrivesOfAKeyDeletedMeanwhileEndTheList) {
  HKEY key = Create("SYSTEM\\MountedDevices");
  ASSERT_EQ(SetText(key, "\\DosDevices\\E:", "device"), ERROR_SUCCESS);
  EXPECT_EQ(DriveBitsOfValues(key), 1u << 4);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices"), ERROR_SUCCESS);
  EXPECT_EQ(DriveBitsOfValues(key), 0u) << "returns instead of counting through every index";
  RegCloseKey(key);
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 25));
}

}  // namespace
