#include "platform/aspi/DriveTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/aspi/internal/RegistryKey.h"
#include "platform/registry/SystemInfo.h"

namespace aspi {
namespace {

using platform::DWORD;

std::string DriveKeyPath(char letter) { return std::string(kDriveTableKey) + "\\" + letter; }

std::string LetterText(char letter) { return std::string(1, letter) + ":"; }

// Reads one table entry; the reason it makes no sense, or "".
std::string ReadEntry(const std::string& name, VirtualDrive& drive) {
  if (name.size() != 1 || !std::isalpha(static_cast<unsigned char>(name[0]))) return "is not a drive letter";
  drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  if (drive.letter == 'C' || drive.letter == 'Z') return "is a letter the machine keeps for itself";
  const RegistryKey key(DriveKeyPath(drive.letter), false);
  const std::optional<std::string> image = key.String("Image");
  if (!image || image->empty()) return "names no image (\"Image\" is missing or not a string)";
  drive.image = *image;
  const std::optional<DWORD> target = key.Dword("Target");
  if (!target || *target >= kMaxVirtualDrives) return "has no target id from 0 to 14";
  drive.target = static_cast<BYTE>(*target);
  drive.failCount = key.Dword("FailCount").value_or(0);
  const DWORD status = key.Dword("FailStatus").value_or(SS_ERR);
  if (status > 0xFF) return "has a \"FailStatus\" that is no request status";
  drive.failStatus = static_cast<BYTE>(status);
  return "";
}

bool TargetTaken(const DriveTable& table, BYTE target) {
  return std::any_of(table.drives.begin(), table.drives.end(),
                     [target](const VirtualDrive& d) { return d.target == target; });
}

const VirtualDrive* FindDrive(const DriveTable& table, char letter) {
  for (const VirtualDrive& drive : table.drives) {
    if (drive.letter == letter) return &drive;
  }
  return nullptr;
}

// The reason the image cannot be a disc, or "".
std::string ImageProblem(const std::filesystem::path& image) {
  const int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a pipe must not block
  if (fd < 0) return std::strerror(errno);
  struct stat info {};
  const bool isFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return isFile ? "" : "it is not a file";
}

char FirstFreeLetter(const DriveTable& table) {
  const DWORD taken = platform::GetLogicalDrives();
  for (char letter = 'D'; letter < 'Z'; ++letter) {
    if ((taken & (DWORD{1} << (letter - 'A'))) == 0 && FindDrive(table, letter) == nullptr) return letter;
  }
  throw DriveTableError("no drive letter is free");
}

BYTE FirstFreeTarget(const DriveTable& table) {
  BYTE target = 0;
  while (TargetTaken(table, target)) ++target;
  return target;
}

}  // namespace

std::string VirtualVendor() { return "CARVOX  "; }
std::string VirtualProduct(char letter) { return std::string("VIRTUAL DRIVE ") + letter + " "; }
std::string VirtualRevision() { return "1.0 "; }

DriveTable ReadDriveTable() {
  DriveTable table;
  const RegistryKey key(kDriveTableKey, false);
  for (const std::string& name : key.SubkeyNames()) {
    VirtualDrive drive;
    std::string problem = ReadEntry(name, drive);
    if (problem.empty() && TargetTaken(table, drive.target)) problem = "shares its target id with another drive";
    if (problem.empty() && FindDrive(table, drive.letter) != nullptr) problem = "repeats a letter";
    if (problem.empty()) {
      table.drives.push_back(drive);
    } else {
      table.problems.push_back("table entry \"" + name + "\" " + problem);
    }
  }
  std::sort(table.drives.begin(), table.drives.end(),
            [](const VirtualDrive& a, const VirtualDrive& b) { return a.letter < b.letter; });
  return table;
}

std::vector<PublishedDrive> VirtualDrivesAsPublished(const DriveTable& table) {
  std::vector<PublishedDrive> drives;
  for (const VirtualDrive& drive : table.drives) {
    drives.push_back({drive.letter, kVirtualAdapter, drive.target, 0, VirtualVendor(), VirtualProduct(drive.letter),
                      VirtualRevision()});
  }
  return drives;
}

char MountImage(const std::filesystem::path& image, char letter) {
  if (const std::string problem = ImageProblem(image); !problem.empty()) {
    throw DriveTableError("cannot mount '" + image.string() + "': " + problem);
  }
  DriveTable table = ReadDriveTable();
  if (table.drives.size() >= kMaxVirtualDrives) {
    throw DriveTableError("there are already " + std::to_string(kMaxVirtualDrives) +
                          " virtual drives, as many as one host adapter addresses");
  }
  if (letter == 0) {
    letter = FirstFreeLetter(table);
  } else {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (letter < 'A' || letter > 'Z') throw DriveTableError("'" + std::string(1, letter) + "' is not a drive letter");
    if (letter == 'C' || letter == 'Z') {
      throw DriveTableError(LetterText(letter) + " is the machine's own drive and cannot hold a disc");
    }
    if ((platform::GetLogicalDrives() & (DWORD{1} << (letter - 'A'))) != 0 || FindDrive(table, letter) != nullptr) {
      throw DriveTableError(LetterText(letter) + " is already in use");
    }
  }
  {
    const RegistryKey key(DriveKeyPath(letter), true);
    if (!key.ok()) throw DriveTableError("cannot write the drive table");
    key.SetStringIfChanged("Image", std::filesystem::absolute(image).lexically_normal().string());
    key.SetDwordIfChanged("Target", FirstFreeTarget(table));
  }
  PublishDrives(kVirtualAdapter, VirtualDrivesAsPublished(ReadDriveTable()));
  return letter;
}

void UnmountDrive(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (!RegistryKey(DriveKeyPath(letter), false).ok()) {
    throw DriveTableError("there is no virtual drive " + LetterText(letter));
  }
  DeleteKeyTree(DriveKeyPath(letter));
  PublishDrives(kVirtualAdapter, VirtualDrivesAsPublished(ReadDriveTable()));
}

}  // namespace aspi
