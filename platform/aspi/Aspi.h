#pragma once
// The ASPI for Win32 interface as the CD reader uses it: the request blocks, commands,
// statuses and the two entry points of the layer loaded as "WNASPI32.DLL". Our own
// definitions of the published layout (byte fields, natural alignment).

#include <string>

#include "platform/machine/WinTypes.h"
#include "platform/sync/Sync.h"

namespace aspi {

using platform::BYTE;
using platform::DWORD;
using platform::WORD;

// SRB_Cmd
inline constexpr BYTE SC_HA_INQUIRY = 0x00;
inline constexpr BYTE SC_GET_DEV_TYPE = 0x01;
inline constexpr BYTE SC_EXEC_SCSI_CMD = 0x02;
inline constexpr BYTE SC_ABORT_SRB = 0x03;

// SRB_Status and the entry points' results
inline constexpr BYTE SS_PENDING = 0x00;
inline constexpr BYTE SS_COMP = 0x01;
inline constexpr BYTE SS_ABORTED = 0x02;
inline constexpr BYTE SS_ABORT_FAIL = 0x03;
inline constexpr BYTE SS_ERR = 0x04;
inline constexpr BYTE SS_INVALID_CMD = 0x80;
inline constexpr BYTE SS_INVALID_HA = 0x81;
inline constexpr BYTE SS_NO_DEVICE = 0x82;

// SRB_Flags
inline constexpr BYTE SRB_DIR_IN = 0x08;
inline constexpr BYTE SRB_DIR_OUT = 0x10;
inline constexpr BYTE SRB_EVENT_NOTIFY = 0x40;

// SRB_TargStat
inline constexpr BYTE STATUS_GOOD = 0x00;
inline constexpr BYTE STATUS_CHKCOND = 0x02;

inline constexpr BYTE DTYPE_CDROM = 0x05;
inline constexpr BYTE SENSE_LEN = 14;

// SCSI operation codes the layer executes.
inline constexpr BYTE SCSI_INQUIRY = 0x12;
inline constexpr BYTE SCSI_READ10 = 0x28;
inline constexpr BYTE SCSI_READ_TOC = 0x43;

// Fixed-format sense data: response code, sense key at byte 2, ASC and ASCQ at 12, 13.
inline constexpr BYTE kSenseResponseCode = 0x70;
inline constexpr BYTE SENSE_NOT_READY = 0x02;
inline constexpr BYTE SENSE_MEDIUM_ERROR = 0x03;
inline constexpr BYTE SENSE_HARDWARE_ERROR = 0x04;
inline constexpr BYTE SENSE_ILLEGAL_REQUEST = 0x05;

// The fields every request block starts with.
struct SRB_Header {
  BYTE SRB_Cmd;
  BYTE SRB_Status;
  BYTE SRB_HaId;
  BYTE SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
};

struct SRB_GDEVBlock : SRB_Header {
  BYTE SRB_Target;
  BYTE SRB_Lun;
  BYTE SRB_DeviceType;
  BYTE SRB_Rsvd1;
};

struct SRB_ExecSCSICmd : SRB_Header {
  BYTE SRB_Target;
  BYTE SRB_Lun;
  WORD SRB_Rsvd1;
  DWORD SRB_BufLen;
  BYTE* SRB_BufPointer;
  BYTE SRB_SenseLen;
  BYTE SRB_CDBLen;
  BYTE SRB_HaStat;
  BYTE SRB_TargStat;
  platform::HANDLE SRB_PostProc;  // the event signalled when SRB_Status is final
  void* SRB_Rsvd2;
  BYTE SRB_Rsvd3[16];
  BYTE CDBByte[16];
  BYTE SenseArea[SENSE_LEN + 2];
};

// SC_HA_INQUIRY, answered at once. HA_Unique bytes 4..7 hold the largest transfer one
// command of the adapter may carry (little-endian); 0 means no figure.
struct SRB_HAInquiry : SRB_Header {
  BYTE HA_Count;
  BYTE HA_SCSI_ID;
  BYTE HA_ManagerId[16];
  BYTE HA_Identifier[16];
  BYTE HA_Unique[16];
  WORD HA_Rsvd1;
};
inline constexpr int kMaxTransferOffset = 4;  // in HA_Unique

struct SRB_Abort : SRB_Header {
  void* SRB_ToAbort;
};

// The header is laid out first, with no padding to share: the blocks keep the flat
// layout of the published definitions.
static_assert(sizeof(SRB_Header) == 8 && sizeof(SRB_GDEVBlock) == 12 && sizeof(SRB_HAInquiry) == 60 &&
              sizeof(SRB_Abort) == 8 + sizeof(void*));

// Low byte: the number of host adapters; next byte: SS_COMP.
using GetASPI32SupportInfoFn = DWORD (*)();
// Takes any request block; returns its status (SS_PENDING while it runs on).
using SendASPI32CommandFn = DWORD (*)(void* srb);

inline constexpr const char* kLayerName = "WNASPI32.DLL";
inline constexpr const char* kSupportInfoExport = "GetASPI32SupportInfo";
inline constexpr const char* kSendCommandExport = "SendASPI32Command";

// How the layer names a device's instance where it publishes the device's letter (the
// end of its mounted-device text, its key below Enum\SCSI): "ASPI&HA_1&TGT_0&LUN_0".
inline constexpr const char* kInstancePrefix = "ASPI&HA_";
inline std::string InstanceName(int adapter, int target, int lun) {
  return kInstancePrefix + std::to_string(adapter) + "&TGT_" + std::to_string(target) + "&LUN_" + std::to_string(lun);
}

}  // namespace aspi
