// Drive discovery against the recording layer and registry layouts written by the test.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/aspi/DriveTable.h"
#include "platform/registry/Registry.h"
#include "platform/registry/SystemInfo.h"
#include "tests/cdrom/RecordingFixture.h"
#include "tests/support/VirtualDrives.h"

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

void SetMountedDevice(const char* name, const std::string& device) {
  std::vector<BYTE> data;
  for (const char c : device) data.insert(data.end(), {static_cast<BYTE>(c), 0});
  testsupport::SetMachineValue("SYSTEM\\MountedDevices", name, REG_BINARY, data);  // no terminating zero
}

void RemoveMountedDevice(const char* name) {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices", 0, KEY_ALL_ACCESS, &key);
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// One 95/98 device instance matching target 2, LUN 0.
void SetInstance(const std::string& path, const std::string& letter) {
  const std::string key = "Enum\\SCSI\\" + path;
  testsupport::SetMachineString(key, "Manufacturer", "ABCD    ");
  testsupport::SetMachineString(key, "ProductId", "XY DRIVE        ");
  testsupport::SetMachineString(key, "RevisionLevel", "1.0 ");
  testsupport::SetMachineString(key, "SCSITargetID", "2");
  testsupport::SetMachineString(key, "SCSILUN", "0");
  testsupport::SetMachineString(key, "CurrentDriveLetterAssignment", letter);
}

class Discovery : public RecordingFixture {
 protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    testsupport::SetMachineDword(kVersionKey, "PlatformId", VER_PLATFORM_WIN32_NT);
  }
  char Find() { return reader->FindDriveLetter("ABCD    ", "XY DRIVE        ", "1.0 ", 1, 2, 0); }
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

// Two drives with the same strings, lettered and published by the layer, each keep
// their own letter.
TEST_F(Discovery, TwinDrivesAreToldApartByTheirAddress) {
  layer->adapters = 2;
  layer->devices = {Drive(1, 0, 0, "ABCD    XY DRIVE        1.0 "), Drive(1, 1, 0, "ABCD    XY DRIVE        1.0 ")};
  aspi::PublishDrives(kRealAdapter, {{'E', kRealAdapter, 0, 0, "ABCD    ", "XY DRIVE        ", "1.0 "},
                                     {'F', kRealAdapter, 1, 0, "ABCD    ", "XY DRIVE        ", "1.0 "}});
  reader->EnumerateDrives();
  ASSERT_EQ(reader->drives().Count(), 2);
  EXPECT_EQ(reader->drives().At(0)->driveLetter, 'E');
  EXPECT_EQ(reader->drives().At(1)->driveLetter, 'F');
  aspi::PublishDrives(kRealAdapter, {});
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
  testsupport::SetMachineDword(kVersionKey, "PlatformId", VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(Find(), 0);  // no "Enum\SCSI" key
  SetInstance("A_DEVICE\\INST1", "g");
  SetInstance("A_DEVICE\\INST2", "K");
  EXPECT_EQ(Find(), 'G');
  SetInstance("A_DEVICE\\INST1", "");  // an empty letter passes over the rest of the device
  SetInstance("B_DEVICE\\PCI&DEV_0D&1", "M");
  EXPECT_EQ(Find(), 0);
  SetInstance("C_DEVICE\\ROOT&0", "N");
  testsupport::SetMachineString("Enum\\SCSI\\C_DEVICE\\ROOT&0", "SCSITargetID", "3");
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
