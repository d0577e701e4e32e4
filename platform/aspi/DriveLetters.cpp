// Publishing drive letters the way Windows records them.
#include <algorithm>
#include <cctype>
#include <set>

#include "platform/aspi/DriveTable.h"
#include "platform/aspi/internal/RegistryKey.h"
#include "platform/registry/SystemInfo.h"

namespace aspi {
namespace {

using platform::DWORD;

constexpr const char* kMountedDevicesKey = "SYSTEM\\MountedDevices";
constexpr const char* kScsiEnumKey = "Enum\\SCSI";
constexpr std::string_view kDosDevices = "\\DosDevices\\";

// An inquiry string as device names carry it: trailing blanks dropped, the others "_".
std::string NameForm(const std::string& text) {
  std::string name = text.substr(0, text.find_last_not_of(' ') + 1);
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

// Marks the values and keys this layer wrote, per host adapter.
std::string AdapterTag(BYTE adapter) { return kInstancePrefix + std::to_string(adapter) + "&"; }

std::string InstanceName(const PublishedDrive& drive) {
  return aspi::InstanceName(drive.adapter, drive.target, drive.lun);
}

std::string DeviceText(const PublishedDrive& drive) {
  return "\\??\\SCSI#CdRom&Ven_" + NameForm(drive.vendor) + "&Prod_" + NameForm(drive.product) + "&Rev_" +
         NameForm(drive.revision) + "#" + InstanceName(drive);
}

// The device key of the SCSI enumeration: vendor and product with every blank as "_".
std::string DeviceKeyName(const PublishedDrive& drive) {
  std::string name = drive.vendor + drive.product;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

std::vector<BYTE> Utf16Data(const std::string& text) {
  std::vector<BYTE> data;
  for (const char c : text) {
    data.push_back(static_cast<BYTE>(c));
    data.push_back(0);
  }
  data.insert(data.end(), {0, 0});
  return data;
}

// ASCII text of UTF-16 data, up to its terminating zero or the end of the data.
std::string TextOfUtf16(const std::vector<BYTE>& data) {
  std::string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const unsigned unit = data[i] | (data[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return text;
}

std::string DosDeviceName(char letter) { return std::string(kDosDevices) + letter + ":"; }

// The letter of a "\DosDevices\X:" value name, or 0.
char LetterOfValue(const std::string& name) {
  if (name.size() != kDosDevices.size() + 2 || name.compare(0, kDosDevices.size(), kDosDevices) != 0 ||
      name.back() != ':') {
    return 0;
  }
  return static_cast<char>(std::toupper(static_cast<unsigned char>(name[kDosDevices.size()])));
}

// Keys are made only for drives to publish: nothing is written when nothing changes.
void PublishMountedDevices(BYTE adapter, const std::vector<PublishedDrive>& drives) {
  const RegistryKey key(kMountedDevicesKey, !drives.empty());
  std::set<std::string> wanted;
  for (const PublishedDrive& drive : drives) wanted.insert(DosDeviceName(drive.letter) + DeviceText(drive));
  const std::string tag = "#" + AdapterTag(adapter);
  for (const std::string& name : key.ValueNames()) {
    if (LetterOfValue(name) == 0) continue;
    const std::string text = TextOfUtf16(key.Bytes(name.c_str()).value_or(std::vector<BYTE>{}));
    if (text.find(tag) != std::string::npos && wanted.count(name + text) == 0) {
      platform::RegDeleteValueA(key.get(), name.c_str());
    }
  }
  for (const PublishedDrive& drive : drives) {
    key.SetIfChanged(DosDeviceName(drive.letter).c_str(), platform::REG_BINARY, Utf16Data(DeviceText(drive)));
  }
}

void PublishScsiEnum(BYTE adapter, const std::vector<PublishedDrive>& drives) {
  std::set<std::string> wanted;
  for (const PublishedDrive& drive : drives) wanted.insert(DeviceKeyName(drive) + "\\" + InstanceName(drive));
  const RegistryKey scsi(kScsiEnumKey, !drives.empty());
  for (const std::string& device : scsi.SubkeyNames()) {
    const std::string devicePath = std::string(kScsiEnumKey) + "\\" + device;
    std::vector<std::string> instances = RegistryKey(devicePath, false).SubkeyNames();
    for (const std::string& instance : instances) {
      if (instance.rfind(AdapterTag(adapter), 0) == 0 && wanted.count(device + "\\" + instance) == 0) {
        DeleteKeyTree(devicePath + "\\" + instance);
      }
    }
    if (RegistryKey(devicePath, false).SubkeyNames().empty()) DeleteKeyTree(devicePath);
  }
  for (const PublishedDrive& drive : drives) {
    const RegistryKey key(std::string(kScsiEnumKey) + "\\" + DeviceKeyName(drive) + "\\" + InstanceName(drive), true);
    key.SetStringIfChanged("Manufacturer", drive.vendor);
    key.SetStringIfChanged("ProductId", drive.product);
    key.SetStringIfChanged("RevisionLevel", drive.revision);
    key.SetStringIfChanged("SCSITargetID", std::to_string(drive.target));
    key.SetStringIfChanged("SCSILUN", std::to_string(drive.lun));
    key.SetStringIfChanged("CurrentDriveLetterAssignment", std::string(1, drive.letter));
  }
}

}  // namespace

void PublishDrives(BYTE adapter, const std::vector<PublishedDrive>& drives) {
  std::vector<PublishedDrive> lettered;
  std::copy_if(drives.begin(), drives.end(), std::back_inserter(lettered),
               [](const PublishedDrive& d) { return d.letter != 0; });
  PublishMountedDevices(adapter, lettered);
  PublishScsiEnum(adapter, lettered);
}

char PublishedLetter(const PublishedDrive& drive) {
  const RegistryKey key(kMountedDevicesKey, false);
  const std::string text = DeviceText(drive);
  for (const std::string& name : key.ValueNames()) {
    const char letter = LetterOfValue(name);
    if (letter != 0 && TextOfUtf16(key.Bytes(name.c_str()).value_or(std::vector<BYTE>{})) == text) return letter;
  }
  return 0;
}

void AssignLetters(std::vector<PublishedDrive>& drives, const DriveTable& table) {
  DWORD taken = platform::GetLogicalDrives();
  DWORD virtualLetters = 0;
  for (const VirtualDrive& drive : table.drives) virtualLetters |= DWORD{1} << (drive.letter - 'A');
  taken |= virtualLetters;
  for (PublishedDrive& drive : drives) {
    const char own = PublishedLetter(drive);
    if (own >= 'D' && own < 'Z' && (virtualLetters & (DWORD{1} << (own - 'A'))) == 0) drive.letter = own;
  }
  for (PublishedDrive& drive : drives) {
    if (drive.letter != 0) continue;
    for (char letter = 'D'; letter < 'Z'; ++letter) {
      const DWORD bit = DWORD{1} << (letter - 'A');
      if ((taken & bit) == 0) {
        drive.letter = letter;
        taken |= bit;
        break;
      }
    }
  }
}

}  // namespace aspi
