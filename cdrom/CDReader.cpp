#include "cdrom/CDReader.h"

#include <algorithm>
#include <cstring>

#include "akai/DiscSignature.h"
#include "platform/aspi/DriveTable.h"
#include "platform/prompt/Prompt.h"
#include "platform/sync/Sync.h"

using namespace aspi;

namespace {

// The event of one command, closed on every way out of ExecuteAndWait.
class CommandEvent {
 public:
  CommandEvent() : handle_(platform::CreateEventA(nullptr, platform::TRUE, platform::FALSE, nullptr)) {}
  ~CommandEvent() { platform::CloseHandle(handle_); }
  CommandEvent(const CommandEvent&) = delete;
  CommandEvent& operator=(const CommandEvent&) = delete;
  platform::HANDLE get() const { return handle_; }

 private:
  platform::HANDLE handle_;
};

// The additional sense codes a virtual drive gives for its image.
constexpr BYTE kLbaOutOfRange = 0x21;     // a read past the end of the image
constexpr BYTE kMediumNotPresent = 0x3A;  // the image file is missing

// A virtual drive's sense data that names a fault of its image file.
CDReader::ImageFault ImageFaultOf(const SRB_ExecSCSICmd& srb) {
  if (srb.SRB_HaId != kVirtualAdapter) return CDReader::ImageFault::kNone;
  const BYTE key = srb.SenseArea[2] & 0x0F;
  const BYTE asc = srb.SenseArea[12];
  if (key == SENSE_ILLEGAL_REQUEST && asc == kLbaOutOfRange) return CDReader::ImageFault::kPastEnd;
  if (key == SENSE_NOT_READY && asc == kMediumNotPresent) return CDReader::ImageFault::kMissing;
  return CDReader::ImageFault::kNone;
}

}  // namespace

CDReader::CDReader(const char* library) {
  module_ = platform::LoadLibraryA(library);
  if (module_ == nullptr) throw CDReaderException{CDReaderException::kLayerMissing, 0};
  getSupportInfo_ = reinterpret_cast<GetASPI32SupportInfoFn>(platform::GetProcAddress(module_, kSupportInfoExport));
  sendCommand_ = reinterpret_cast<SendASPI32CommandFn>(platform::GetProcAddress(module_, kSendCommandExport));
  if (getSupportInfo_ == nullptr || sendCommand_ == nullptr) {
    platform::FreeLibrary(module_);
    throw CDReaderException{CDReaderException::kLayerMissing, 0};
  }
  SetQuietMode(false);
}

CDReader::~CDReader() { platform::FreeLibrary(module_); }

SRB_ExecSCSICmd CDReader::CommandBlock(int adapter, int target, int lun, uint8_t* buffer, uint32_t length,
                                       std::initializer_list<BYTE> cdb) {
  SRB_ExecSCSICmd srb;
  std::memset(&srb, 0, sizeof srb);
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = static_cast<BYTE>(adapter);
  srb.SRB_Target = static_cast<BYTE>(target);
  srb.SRB_Lun = static_cast<BYTE>(lun);
  srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
  srb.SRB_BufLen = length;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = SENSE_LEN;
  srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  return srb;
}

void CDReader::ReadSectors(uint32_t lba, uint8_t* buffer, uint8_t count) {
  // Split into commands the adapter takes whole (a real drive's host has a limit).
  const uint32_t perCommand = SectorsPerCommand();
  do {
    const auto part = static_cast<uint8_t>(std::min<uint32_t>(count, perCommand));
    ReadCommand(lba, buffer, part);
    lba += part;
    buffer += size_t{part} * kSectorSize;
    count = static_cast<uint8_t>(count - part);
  } while (count > 0);
}

void CDReader::ReadCommand(uint32_t lba, uint8_t* buffer, uint8_t count) {
  imageFault_ = ImageFault::kNone;
  // READ(10) carries 24 bits of the LBA here: a larger one would read another sector.
  if (lba >= kLbaLimit) throw CDReaderException{CDReaderException::kCommandFailed, SS_ERR};
  SRB_ExecSCSICmd srb =
      CommandBlock(hostAdapter_, target_, lun_, buffer, uint32_t{count} * kSectorSize,
                   {SCSI_READ10, 0, 0, static_cast<BYTE>(lba >> 16), static_cast<BYTE>(lba >> 8),
                    static_cast<BYTE>(lba), 0, 0, count, 0});
  ExecuteAndWait(srb);
}

uint32_t CDReader::SectorsPerCommand() {
  if (inquiredAdapter_ == hostAdapter_) return sectorsPerCommand_;
  SRB_HAInquiry inquiry;
  std::memset(&inquiry, 0, sizeof inquiry);
  inquiry.SRB_Cmd = SC_HA_INQUIRY;
  inquiry.SRB_HaId = static_cast<BYTE>(hostAdapter_);
  uint32_t maxBytes = 0;
  if (sendCommand_(&inquiry) == SS_COMP) {
    for (int i = 3; i >= 0; --i) maxBytes = (maxBytes << 8) | inquiry.HA_Unique[kMaxTransferOffset + i];
  }
  sectorsPerCommand_ = maxBytes >= kSectorSize ? maxBytes / kSectorSize : kFallbackSectorsPerCommand;
  inquiredAdapter_ = hostAdapter_;
  return sectorsPerCommand_;
}

void CDReader::ReadTOC() {
  std::memset(toc_, 0, sizeof toc_);
  SRB_ExecSCSICmd srb = CommandBlock(hostAdapter_, target_, lun_, toc_, kTocSize,
                                     {SCSI_READ_TOC, 0, 0, 0, 0, 0, 0, kTocSize >> 8, kTocSize & 0xFF, 0});
  ExecuteAndWait(srb);
}

bool CDReader::IsAkaiDisc() {
  uint8_t sector[kSectorSize];
  ReadSectors(0, sector, 1);
  return HasAkaiSignature(sector, sizeof sector);
}

void CDReader::ExecuteAndWait(SRB_ExecSCSICmd& srb) {
  const CommandEvent event;
  if (event.get() == nullptr) throw CDReaderException{CDReaderException::kCommandFailed, SS_ERR};
  srb.SRB_PostProc = event.get();
  for (;;) {
    platform::ResetEvent(event.get());
    if (sendCommand_(&srb) == SS_PENDING &&
        platform::WaitForSingleObject(event.get(), commandWaitMs_) != platform::WAIT_OBJECT_0) {
      Abort(srb);
    }
    imageFault_ = srb.SRB_Status == SS_COMP ? ImageFault::kNone : ImageFaultOf(srb);
    if (srb.SRB_Status == SS_COMP || QuietMode() || imageFault_ != ImageFault::kNone) break;
    if (platform::MessageBox("Device not responding. Try again?", platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION) !=
        platform::IDRETRY) {
      break;
    }
  }
  if (srb.SRB_Status != SS_COMP) throw CDReaderException{CDReaderException::kCommandFailed, srb.SRB_Status};
}

void CDReader::Abort(SRB_ExecSCSICmd& srb) {
  SRB_Abort abort;
  std::memset(&abort, 0, sizeof abort);
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_HaId = srb.SRB_HaId;
  abort.SRB_ToAbort = &srb;
  sendCommand_(&abort);
  // Still pending means the layer has let go of it without an end: a failure.
  if (srb.SRB_Status == SS_PENDING) srb.SRB_Status = SS_ABORTED;
}
