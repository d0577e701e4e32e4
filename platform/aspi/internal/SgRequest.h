#pragma once
// Turning a request block into a Linux SCSI generic (SG_IO) request and its outcome
// back into ASPI statuses. Only reads pass: READ(10), READ TOC and INQUIRY, data in.

#include <scsi/sg.h>

#include "platform/aspi/Aspi.h"

namespace aspi {

// SG_IO gives up on a command after this long, well inside the reader's own wait, so a
// drive that hangs ends as a failed command rather than a wait that runs out.
inline constexpr unsigned kSgTimeoutMs = 60000;

// ASPI host adapter statuses (SRB_HaStat).
inline constexpr BYTE HASTAT_OK = 0x00;
inline constexpr BYTE HASTAT_COMMAND_TIMEOUT = 0x0B;
inline constexpr BYTE HASTAT_SEL_TO = 0x11;
inline constexpr BYTE HASTAT_DO_DU = 0x12;  // data overrun or underrun

using SgIoctl = int (*)(int fd, sg_io_hdr_t* request);

// Whether the block's command may go to a real drive.
bool SgAllows(const SRB_ExecSCSICmd& srb);
// Fills `io` for the block's command, data and sense into the block's buffer and
// `sense` (SENSE_LEN + 4 bytes).
void BuildSgRequest(SRB_ExecSCSICmd& srb, sg_io_hdr_t& io, BYTE* sense);
// The final status of a request that `ioctlResult` and `io` describe; sets SRB_HaStat,
// SRB_TargStat and the sense area. A READ(10) that moved fewer bytes than asked fails
// (HASTAT_DO_DU): the rest of the buffer holds old bytes, not the disc's.
BYTE SgOutcome(int ioctlResult, const sg_io_hdr_t& io, const BYTE* sense, SRB_ExecSCSICmd& srb);
// Runs the block on the open node `fd` through `ioctl`; refuses other commands with
// ILLEGAL REQUEST sense.
BYTE ExecuteOnSg(int fd, SRB_ExecSCSICmd& srb, SgIoctl ioctl);

}  // namespace aspi
