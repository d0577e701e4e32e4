#pragma once
// The SCSI block reader over the ASPI layer ("WNASPI32.DLL", loaded at run time): READ(10)
// for sectors, READ TOC as the probe for a readable disc, the AKAI signature test, and
// the discovery of the CD-ROM drives with their letters.
//
// Every command is posted with event notification and waited for; a command that does
// not complete is offered for retry ("Device not responding. Try again?") unless the
// reader is in quiet mode, and otherwise ends in CDReaderException {kCommandFailed,
// status}. A wait that runs out aborts the command before the block goes away. A
// virtual drive whose image is cut short or missing is not offered for retry (trying
// again cannot help); lastImageFault() tells which it was.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "akai/SectorSource.h"
#include "common/ChainedList.h"
#include "platform/aspi/Aspi.h"
#include "platform/library/Library.h"

// A CD-ROM device on an ASPI host adapter, with the letter Windows gave it.
struct CDDriveInfo {
  std::string vendor;    // INQUIRY bytes 8..15, up to a NUL, trailing blanks kept
  std::string product;   // bytes 16..31
  std::string revision;  // bytes 32..35
  int32_t hostAdapter = 0;
  int32_t target = 0;
  int32_t lun = 0;
  char driveLetter = '?';  // upper case, or '?' when none was found
};

class CDReader : public SectorSource {
 public:
  static constexpr uint32_t kTocSize = 804;  // a 4-byte header and 100 track descriptors
  static constexpr platform::DWORD kCommandWaitMs = 600000;
  // READ(10) as sent carries 24 bits of the LBA.
  static constexpr uint32_t kLbaLimit = 1u << 24;
  static constexpr int kTargets = 15;
  static constexpr int kLuns = 8;

  // Loads the layer by `library` (a Windows name, or a host path for tests) and its two
  // entry points; throws CDReaderException {kLayerMissing, 0} when that fails.
  explicit CDReader(const char* library = aspi::kLayerName);
  ~CDReader() override;
  CDReader(const CDReader&) = delete;
  CDReader& operator=(const CDReader&) = delete;

  // Sectors per READ(10) where the layer does not say what its adapter takes.
  static constexpr uint32_t kFallbackSectorsPerCommand = 24;

  // Sent as READ(10) commands of at most the largest transfer the adapter reports
  // (SC_HA_INQUIRY), each waited for in turn. An LBA of 2^24 or more is refused with
  // {kCommandFailed, SS_ERR}, without a prompt.
  void ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) override;
  void ReadTOC();
  bool IsAkaiDisc();
  // Posts the block and waits; returns only when its status is SS_COMP.
  void ExecuteAndWait(aspi::SRB_ExecSCSICmd& srb);

  // Rebuilds the drive list from every host adapter; an INQUIRY that finally fails
  // ends the scan with CDReaderException, keeping the drives found before.
  void EnumerateDrives();
  // The letter the registry gives the device, or 0. A mounted-device text that names an
  // address of the layer's must name this device's (drives may share their strings).
  char FindDriveLetter(const char* vendor, const char* product, const char* revision, int adapter, int target,
                       int lun);
  // Selects the first drive whose letter matches, case ignored; no match keeps the
  // device selected before.
  void SelectDevice(char letter);

  // What the sense data of the last command said about a virtual drive's image.
  enum class ImageFault { kNone, kPastEnd, kMissing };
  ImageFault lastImageFault() const { return imageFault_; }

  const ChainedList<CDDriveInfo>& drives() const { return drives_; }
  int adapterCount() const { return adapterCount_; }
  const uint8_t* toc() const { return toc_; }
  int32_t hostAdapter() const { return hostAdapter_; }
  int32_t target() const { return target_; }
  int32_t lun() const { return lun_; }

 private:
  friend class CDReaderTestAccess;  // tests shorten the wait

  // A zero-filled block for `cdb` to the device at `adapter`, `target`, `lun`, reading
  // `length` bytes into `buffer`, with event notification.
  static aspi::SRB_ExecSCSICmd CommandBlock(int adapter, int target, int lun, uint8_t* buffer, uint32_t length,
                                            std::initializer_list<aspi::BYTE> cdb);
  void ReadCommand(uint32_t lba, uint8_t* buffer, uint8_t count);
  // The sectors one READ(10) to the selected adapter may carry, asked once per adapter.
  uint32_t SectorsPerCommand();
  // Takes a timed-out command back from the layer.
  void Abort(aspi::SRB_ExecSCSICmd& srb);

  aspi::GetASPI32SupportInfoFn getSupportInfo_ = nullptr;
  aspi::SendASPI32CommandFn sendCommand_ = nullptr;
  platform::HMODULE module_ = nullptr;
  uint8_t toc_[kTocSize] = {};
  int32_t hostAdapter_ = 0;
  int32_t target_ = 0;
  int32_t lun_ = 0;
  ChainedList<CDDriveInfo> drives_;
  int32_t adapterCount_ = 0;
  platform::DWORD commandWaitMs_ = kCommandWaitMs;
  ImageFault imageFault_ = ImageFault::kNone;
  int32_t inquiredAdapter_ = -1;
  uint32_t sectorsPerCommand_ = kFallbackSectorsPerCommand;
};
