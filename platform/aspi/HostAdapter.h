#pragma once
// One host adapter of the layer: the devices it offers and how it executes a SCSI
// command on one of them. Each adapter lives in a file of its own; AdapterTable.cpp
// lists them in host adapter order.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/aspi/Aspi.h"
#include "platform/aspi/DriveTable.h"

namespace aspi {

struct Device {
  PublishedDrive drive;  // address, inquiry strings, letter (0 until assigned)
  // Fault injection: this many commands end with `failStatus` before the device works.
  DWORD failCount = 0;
  BYTE failStatus = SS_ERR;
};

class HostAdapter {
 public:
  virtual ~HostAdapter() = default;
  // The devices found, and a line for each one left out with its reason.
  virtual std::vector<Device>& devices() = 0;
  virtual const std::vector<std::string>& problems() const = 0;
  // Runs the command of `srb` on `device` (one of devices()) to its end: fills the
  // buffer, the sense area, SRB_HaStat and SRB_TargStat, and returns the final status.
  // Called on the layer's worker thread, or on the caller's for an adapter that
  // answers at once; never for two commands at the same time.
  virtual BYTE Execute(const Device& device, SRB_ExecSCSICmd& srb) = 0;
  // The largest transfer one command may carry, as SC_HA_INQUIRY reports it. 64 KiB by
  // default: every Linux SCSI host and USB bridge takes that in one piece.
  virtual DWORD MaxTransferBytes() const { return kSafeTransferBytes; }

  // Whether a command ends as soon as it is executed (an image file is read, no device
  // can hang): the layer may then run it on the caller's thread.
  virtual bool AnswersAtOnce() const { return false; }

  static constexpr DWORD kSafeTransferBytes = 64 * 1024;
};

struct AdapterEntry {
  const char* name;
  std::unique_ptr<HostAdapter> (*create)(const DriveTable& table);
};

// Every host adapter, in host adapter id order.
std::span<const AdapterEntry> HostAdapters();

// The adapters' constructors, one per file.
std::unique_ptr<HostAdapter> CreateVirtualDriveAdapter(const DriveTable& table);
std::unique_ptr<HostAdapter> CreateSgAdapter(const DriveTable& table);

// How a command ends: with good status, or with CHECK CONDITION and fixed-format sense
// data (copied up to SRB_SenseLen).
BYTE CompleteGood(SRB_ExecSCSICmd& srb);
BYTE CompleteWithSense(SRB_ExecSCSICmd& srb, BYTE key, BYTE asc, BYTE ascq);

// The INQUIRY data of a CD-ROM device with these strings, as much as `srb` asks for.
BYTE ReplyInquiry(const PublishedDrive& drive, SRB_ExecSCSICmd& srb);

}  // namespace aspi
