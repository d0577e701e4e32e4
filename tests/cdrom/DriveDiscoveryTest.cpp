// Drive discovery against the recording layer and registry layouts written by the test.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/registry/SystemInfo.h"
#include "tests/cdrom/RecordingFixture.h"

using namespace aspi;
using namespace platform;

namespace {

using namespace std::string_view_literals;

recording::Device Drive(BYTE adapter, BYTE target, BYTE lun, std::string_view strings, BYTE type = DTYPE_CDROM) {
  recording::Device device{adapter, target, lun, type, {}};
  device.inquiry[0] = type;
  std::memcpy(device.inquiry + 8, strings.data(), strings.size());  // vendor, product, revision: 8, 16, 4
  return device;
}

void SetValue(const std::string& path, const char* name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

void SetString(const std::string& path, const char* name, const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(path, name, REG_SZ, data);
}

void SetMountedDevice(const char* name, const std::string& device) {
  std::vector<BYTE> data;
  for (const char c : device) data.insert(data.end(), {static_cast<BYTE>(c), 0});
  SetValue("SYSTEM\\MountedDevices", name, REG_BINARY, data);  // no terminating zero: read by size
}

void RemoveMountedDevice(const char* name) {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices", 0, KEY_ALL_ACCESS, &key);
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

void SetPlatform(DWORD platformId) {
  SetValue(kVersionKey, "PlatformId", REG_DWORD, {static_cast<BYTE>(platformId), 0, 0, 0});
}

// One 95/98 device instance matching target 2, LUN 0.
void SetInstance(const std::string& path, const std::string& letter) {
  const std::string key = "Enum\\SCSI\\" + path;
  SetString(key, "Manufacturer", "ABCD    ");
  SetString(key, "ProductId", "XY DRIVE        ");
  SetString(key, "RevisionLevel", "1.0 ");
  SetString(key, "SCSITargetID", "2");
  SetString(key, "SCSILUN", "0");
  SetString(key, "CurrentDriveLetterAssignment", letter);
}

class Discovery : public RecordingFixture {
 protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    SetPlatform(VER_PLATFORM_WIN32_NT);
  }
  char Find() { return reader->FindDriveLetter("ABCD    ", "XY DRIVE        ", "1.0 ", 2, 0); }
};

TEST_F(Discovery, ScansFifteenTargetsOfEveryAdapterForCdRoms) {
  layer->adapters = 2;
  layer->devices = {Drive(0, 14, 7, "VEND    PROD A          1.0 "), Drive(0, 15, 0, "VEND    PROD B          1.0 "),
                    Drive(1, 0, 0, "VEND\0   PROD C  \0      1.0 "sv), Drive(1, 1, 0, "DISK", 0),
                    Drive(2, 0, 0, "VEND    PROD D          1.0 ")};
  reader->EnumerateDrives();
  EXPECT_EQ(reader->adapterCount(), 2);
  ASSERT_EQ(reader->drives().Count(), 2);
  const CDDriveInfo& first = *reader->drives().At(0);
  EXPECT_EQ(first.product, "PROD A          ");
  EXPECT_EQ(first.target, 14);
  EXPECT_EQ(first.lun, 7);
  EXPECT_EQ(first.driveLetter, '?');
  const CDDriveInfo& second = *reader->drives().At(1);  // strings end at a NUL
  EXPECT_EQ(second.vendor, "VEND");
  EXPECT_EQ(second.product, "PROD C  ");
  EXPECT_EQ(second.hostAdapter, 1);
}

TEST_F(Discovery, MountedDevicesMatchBySearchStringsInTheDriveMask) {
  struct Case {
    const char* name;
    const char* device;
    char expected;
  } cases[] = {
      {"\\DosDevices\\E:", "\\??\\SCSI#CdRom&Ven_ABCD&Prod_XY_DRIVE&Rev_1.0#4&0", 'E'},
      {"\\DosDevices\\f:", "USBSTOR#ABCD____XY_DRIVE________#1", 'F'},
      {"\\DosDevices\\G:", "Ven_ABCD&Prod_XY_DRIVE&Rev_1.1", 0},
      // Not in the logical-drive mask (the mask only counts names ending in the colon).
      {"\\DosDevices\\H", "Ven_ABCD&Prod_XY_DRIVE&Rev_1.0", 0},
      {"\\dosdevices\\J:", "Ven_ABCD&Prod_XY_DRIVE&Rev_1.0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetMountedDevice(c.name, c.device);
    EXPECT_EQ(Find(), c.expected);
    RemoveMountedDevice(c.name);
  }
}

TEST_F(Discovery, ScsiEnumerationTakesTheFirstMatchingInstance) {
  SetPlatform(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(Find(), 0);  // no "Enum\SCSI" key
  SetInstance("A_DEVICE\\INST1", "g");
  SetInstance("A_DEVICE\\INST2", "K");
  EXPECT_EQ(Find(), 'G');
  SetInstance("A_DEVICE\\INST1", "");  // an empty letter passes over the rest of the device
  SetInstance("B_DEVICE\\PCI&DEV_0D&1", "M");
  EXPECT_EQ(Find(), 0);
  SetInstance("C_DEVICE\\ROOT&0", "N");
  SetString("Enum\\SCSI\\C_DEVICE\\ROOT&0", "SCSITargetID", "3");
  SetInstance("D_DEVICE\\ROOT&1", "P");
  EXPECT_EQ(Find(), 'P');
}

TEST_F(Discovery, LettersSelectDevicesAndAFailedInquiryEndsTheScan) {
  layer->devices = {Drive(0, 2, 0, "ABCD    XY DRIVE        1.0 "), Drive(0, 3, 0, "OTHER   DRIVE           2.0 "),
                    Drive(0, 4, 0, "LAST    DRIVE           3.0 ")};
  SetMountedDevice("\\DosDevices\\E:", "Ven_ABCD&Prod_XY_DRIVE&Rev_1.0");
  layer->replies = {{SS_COMP, SS_COMP, true}, {SS_COMP, SS_COMP, true}, {SS_PENDING, SS_ERR, true}};
  prompt.Script({platform::IDCANCEL});
  ExpectFailure(CDReaderException::kCommandFailed, SS_ERR, [&] { reader->EnumerateDrives(); });
  ASSERT_EQ(reader->drives().Count(), 2);
  EXPECT_EQ(reader->drives().At(0)->driveLetter, 'E');
  EXPECT_EQ(reader->drives().At(1)->driveLetter, '?');

  reader->SelectDevice('e');
  EXPECT_EQ(reader->target(), 2);
  reader->SelectDevice('X');  // no such drive: the selection stays
  EXPECT_EQ(reader->target(), 2);
  reader->SelectDevice('?');
  EXPECT_EQ(reader->target(), 3);
  uint8_t sector[2048];
  reader->ReadSectors(0, sector, 1);
  EXPECT_EQ(layer->posts.back().block.SRB_Target, 3);
  RemoveMountedDevice("\\DosDevices\\E:");
}

}  // namespace
