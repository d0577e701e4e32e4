// Finding the CD-ROM drives on the ASPI host adapters and the letters Windows gave them.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "cdrom/CDReader.h"
#include "platform/registry/Registry.h"
#include "platform/registry/SystemInfo.h"

using namespace aspi;
using namespace platform;

namespace {

constexpr std::string_view kDosDevices = "\\DosDevices\\";

// An INQUIRY field: at most `width` bytes, ending early at a NUL, trailing blanks kept.
std::string InquiryField(const uint8_t* data, size_t width) {
  const auto* text = reinterpret_cast<const char*>(data);
  return std::string(text, std::find(text, text + width, '\0'));
}

// The device names of the mounted-devices values spell inquiry strings this way:
// trailing blanks dropped, the others as "_" (`trim`), or every blank as "_".
std::string Underscored(const char* text, bool trim) {
  std::string result(text);
  if (trim) result.erase(result.find_last_not_of(' ') + 1);
  std::replace(result.begin(), result.end(), ' ', '_');
  return result;
}

// UTF-16 data as ANSI text, up to its terminating zero or the bytes returned.
std::string AnsiOfUtf16(const BYTE* data, DWORD size) {
  std::string text;
  for (DWORD i = 0; i + 1 < size; i += 2) {
    const unsigned unit = data[i] | (data[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
  }
  return text;
}

class OpenKey {
 public:
  OpenKey(HKEY parent, const char* path) { RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key_); }
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Drives with the same inquiry strings differ by address: a device text that the layer
// published ends in an instance name, which must then be this drive's.
bool AddressMatches(const std::string& device, int adapter, int target, int lun) {
  const size_t instance = device.rfind(std::string("#") + kInstancePrefix);
  return instance == std::string::npos || device.substr(instance + 1) == InstanceName(adapter, target, lun);
}

char SearchMountedDevices(const char* vendor, const char* product, const char* revision, int adapter, int target,
                          int lun) {
  const OpenKey key(HKEY_LOCAL_MACHINE, "SYSTEM\\MountedDevices");
  if (key.get() == nullptr) return 0;
  const std::string s1 = "Ven_" + Underscored(vendor, true) + "&Prod_" + Underscored(product, true) + "&Rev_" +
                         Underscored(revision, true);
  const std::string s2 = Underscored(vendor, false) + Underscored(product, false);
  char name[1024];
  BYTE data[2048];
  for (DWORD index = 0;; ++index) {
    std::memset(data, 0, sizeof data);
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data;
    const LONG result = RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, data, &dataSize);
    // A value too long for the buffers names no drive of ours; the ones after it may.
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return 0;
    const std::string_view valueName(name, nameSize);
    if (valueName.size() <= kDosDevices.size() || valueName.substr(0, kDosDevices.size()) != kDosDevices) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(valueName[kDosDevices.size()])));
    if (!std::isupper(static_cast<unsigned char>(letter)) || (GetLogicalDrives() & (DWORD{1} << ((letter - 'A') & 31))) == 0) {
      continue;
    }
    const std::string device = AnsiOfUtf16(data, dataSize);
    const bool named = device.find(s1) != std::string::npos || device.find(s2) != std::string::npos;
    if (named && AddressMatches(device, adapter, target, lun)) return letter;
  }
}

// Whether the REG_SZ value holds exactly `expected` (compared by the size read).
bool ValueIs(HKEY key, const char* name, const std::string& expected) {
  char buffer[1024];
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
    return false;
  }
  std::string_view value(buffer, size);
  if (!value.empty() && value.back() == '\0') value.remove_suffix(1);
  return value == expected;
}

// The letter of a device instance that matches, '\0' for an empty letter, or -1.
int InstanceLetter(HKEY device, const char* instance, const char* vendor, const char* product, const char* revision,
                   int target, int lun) {
  const OpenKey key(device, instance);
  if (key.get() == nullptr) return -1;
  const bool matches = ValueIs(key.get(), "Manufacturer", vendor) && ValueIs(key.get(), "ProductId", product) &&
                       ValueIs(key.get(), "RevisionLevel", revision) &&
                       ValueIs(key.get(), "SCSITargetID", std::to_string(target)) &&
                       ValueIs(key.get(), "SCSILUN", std::to_string(lun)) &&
                       std::strstr(instance, "&DEV_0D&") == nullptr;
  if (!matches) return -1;
  char letter[1024] = {};
  DWORD size = sizeof letter - 1;
  if (RegQueryValueExA(key.get(), "CurrentDriveLetterAssignment", nullptr, nullptr, reinterpret_cast<BYTE*>(letter),
                       &size) != ERROR_SUCCESS || size == 0) {
    return 0;
  }
  return std::toupper(static_cast<unsigned char>(letter[0]));
}

char SearchScsiEnum(const char* vendor, const char* product, const char* revision, int target, int lun) {
  const OpenKey scsi(HKEY_LOCAL_MACHINE, "Enum\\SCSI");
  if (scsi.get() == nullptr) return 0;
  char deviceName[1024];
  for (DWORD d = 0;; ++d) {
    DWORD size = sizeof deviceName;
    if (RegEnumKeyExA(scsi.get(), d, deviceName, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return 0;
    const OpenKey device(scsi.get(), deviceName);
    if (device.get() == nullptr) continue;
    char instance[1024];
    for (DWORD i = 0;; ++i) {
      DWORD instanceSize = sizeof instance;
      if (RegEnumKeyExA(device.get(), i, instance, &instanceSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        break;
      }
      const int letter = InstanceLetter(device.get(), instance, vendor, product, revision, target, lun);
      if (letter > 0) return static_cast<char>(letter);
      if (letter == 0) break;  // an empty letter: the other instances of this device are not examined
    }
  }
}

}  // namespace

char CDReader::FindDriveLetter(const char* vendor, const char* product, const char* revision, int adapter, int target,
                               int lun) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    return SearchMountedDevices(vendor, product, revision, adapter, target, lun);
  }
  return SearchScsiEnum(vendor, product, revision, target, lun);
}

void CDReader::EnumerateDrives() {
  adapterCount_ = static_cast<int32_t>(getSupportInfo_() & 0xFF);
  drives_.Clear();
  for (int a = 0; a < adapterCount_; ++a) {
    for (int t = 0; t < kTargets; ++t) {
      for (int l = 0; l < kLuns; ++l) {
        // Every field not named is zero.
        SRB_GDEVBlock probe{{SC_GET_DEV_TYPE, 0, static_cast<BYTE>(a), 0, 0}, static_cast<BYTE>(t), static_cast<BYTE>(l), 0, 0};
        sendCommand_(&probe);
        if (probe.SRB_Status != SS_COMP || probe.SRB_DeviceType != DTYPE_CDROM) continue;
        // Zeroed first: a device that returns fewer bytes leaves NULs, never old data.
        uint8_t data[96] = {};
        SRB_ExecSCSICmd inquiry = CommandBlock(a, t, l, data, sizeof data, {SCSI_INQUIRY, 0, 0, 0, sizeof data, 0});
        ExecuteAndWait(inquiry);
        auto drive = std::make_unique<CDDriveInfo>();
        drive->vendor = InquiryField(data + 8, 8);
        drive->product = InquiryField(data + 16, 16);
        drive->revision = InquiryField(data + 32, 4);
        drive->hostAdapter = a;
        drive->target = t;
        drive->lun = l;
        const char letter =
            FindDriveLetter(drive->vendor.c_str(), drive->product.c_str(), drive->revision.c_str(), a, t, l);
        drive->driveLetter = letter != 0 ? letter : '?';
        drives_.Append(drive.release());
      }
    }
  }
}

void CDReader::SelectDevice(char letter) {
  const int wanted = std::toupper(static_cast<unsigned char>(letter));
  for (int i = 0; i < drives_.Count(); ++i) {
    const CDDriveInfo& drive = *drives_.At(i);
    if (std::toupper(static_cast<unsigned char>(drive.driveLetter)) == wanted) {
      hostAdapter_ = drive.hostAdapter;
      target_ = drive.target;
      lun_ = drive.lun;
      return;
    }
  }
}
