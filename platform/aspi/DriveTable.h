#pragma once
// The machine's virtual-drive table, and how drives get their letters.
//
// The table is the registry key HKLM\Software\Carvox\VirtualDrives: one subkey per
// drive, named by its letter ("D"), with the image's host path ("Image", REG_SZ) and
// the drive's target id on host adapter 0 ("Target", REG_DWORD, 0..14). Two optional
// values make the drive fail on purpose: "FailCount" (REG_DWORD) commands after the
// layer has read the table end with "FailStatus" (REG_DWORD; SS_PENDING keeps them
// pending until aborted; default SS_ERR).
//
// A drive's letter is published as Windows does: the value "\DosDevices\X:" of
// HKLM\SYSTEM\MountedDevices (UTF-16 data naming the device, which also puts the letter
// in GetLogicalDrives) and a key HKLM\Enum\SCSI\<vendor+product>\<instance> with the
// inquiry strings, target, LUN and letter.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/aspi/Aspi.h"

namespace aspi {

inline constexpr const char* kDriveTableKey = "Software\\Carvox\\VirtualDrives";
inline constexpr int kMaxVirtualDrives = 15;  // targets 0..14
inline constexpr BYTE kVirtualAdapter = 0;
inline constexpr BYTE kRealAdapter = 1;

struct VirtualDrive {
  char letter = 0;
  std::string image;  // host path
  BYTE target = 0;
  DWORD failCount = 0;
  BYTE failStatus = SS_ERR;
};

struct DriveTable {
  std::vector<VirtualDrive> drives;  // in letter order
  std::vector<std::string> problems;  // entries left out, each with its reason
};

// Reads the table; entries that make no sense (a bad letter, no image path, a target
// outside 0..14 or already taken) are left out and described in `problems`.
DriveTable ReadDriveTable();

// A mount or unmount that is refused; the text says why.
class DriveTableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Mounts `image` (which must be a readable file) at `letter`, or with letter 0 at the
// first free letter from D:. Refuses C:, Z:, a letter in use, a 16th drive. Returns
// the letter.
char MountImage(const std::filesystem::path& image, char letter);
// Removes the drive and its published letter. Refuses a letter with no virtual drive.
void UnmountDrive(char letter);

// The inquiry strings of a virtual drive: vendor "CARVOX", and a product that names
// the letter, so that no two drives share the strings a letter search matches on.
std::string VirtualVendor();
std::string VirtualProduct(char letter);
std::string VirtualRevision();

// A drive as its letter is published (the strings padded with blanks as INQUIRY
// returns them: 8, 16 and 4 characters).
struct PublishedDrive {
  char letter = 0;
  BYTE adapter = 0;
  BYTE target = 0;
  BYTE lun = 0;
  std::string vendor;
  std::string product;
  std::string revision;
};

// Publishes the letters of every drive of `adapter`, writing only what changed, and
// withdraws what was published before for drives of that adapter not in `drives`.
void PublishDrives(BYTE adapter, const std::vector<PublishedDrive>& drives);
// The letter published earlier for this device, or 0.
char PublishedLetter(const PublishedDrive& drive);
// Gives each drive without a letter the next free one from D:, as Windows assigns
// letters to drives it finds: not C:, Z:, nor a letter in the logical-drive mask or
// taken by a virtual drive, unless it was this device's own before.
void AssignLetters(std::vector<PublishedDrive>& drives, const DriveTable& table);

std::vector<PublishedDrive> VirtualDrivesAsPublished(const DriveTable& table);

}  // namespace aspi
