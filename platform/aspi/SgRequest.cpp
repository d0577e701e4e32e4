#include "platform/aspi/internal/SgRequest.h"

#include <algorithm>
#include <cstring>

#include "platform/aspi/HostAdapter.h"

namespace aspi {
namespace {

constexpr BYTE kSenseBufferSize = SENSE_LEN + 4;
constexpr unsigned short kDidNoConnect = 0x01;
constexpr unsigned short kDidTimeOut = 0x03;
constexpr unsigned short kDriverTimeout = 0x06;

size_t CdbLength(BYTE opcode) { return opcode == SCSI_INQUIRY ? 6 : 10; }

}  // namespace

bool SgAllows(const SRB_ExecSCSICmd& srb) {
  const BYTE opcode = srb.CDBByte[0];
  const bool known = opcode == SCSI_READ10 || opcode == SCSI_READ_TOC || opcode == SCSI_INQUIRY;
  return known && srb.SRB_CDBLen == CdbLength(opcode) && (srb.SRB_Flags & SRB_DIR_OUT) == 0;
}

void BuildSgRequest(SRB_ExecSCSICmd& srb, sg_io_hdr_t& io, BYTE* sense) {
  std::memset(&io, 0, sizeof io);
  std::memset(sense, 0, kSenseBufferSize);
  io.interface_id = 'S';
  io.dxfer_direction = srb.SRB_BufLen > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  io.cmd_len = srb.SRB_CDBLen;
  io.cmdp = srb.CDBByte;
  io.dxfer_len = srb.SRB_BufLen;
  io.dxferp = srb.SRB_BufPointer;
  io.mx_sb_len = kSenseBufferSize;
  io.sbp = sense;
  io.timeout = kSgTimeoutMs;
}

BYTE SgOutcome(int ioctlResult, const sg_io_hdr_t& io, const BYTE* sense, SRB_ExecSCSICmd& srb) {
  srb.SRB_HaStat = HASTAT_OK;
  srb.SRB_TargStat = STATUS_GOOD;
  if (ioctlResult < 0 || io.host_status == kDidNoConnect) {
    srb.SRB_HaStat = HASTAT_SEL_TO;
    return SS_ERR;
  }
  if (io.host_status == kDidTimeOut || (io.driver_status & 0x0F) == kDriverTimeout) {
    srb.SRB_HaStat = HASTAT_COMMAND_TIMEOUT;
    return SS_ERR;
  }
  if (io.sb_len_wr > 0) {
    std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
    std::memcpy(srb.SenseArea, sense, std::min<size_t>({io.sb_len_wr, srb.SRB_SenseLen, sizeof srb.SenseArea}));
    srb.SRB_TargStat = STATUS_CHKCOND;
    return SS_ERR;
  }
  if (io.status != STATUS_GOOD || io.host_status != 0) {
    srb.SRB_TargStat = io.status;
    return SS_ERR;
  }
  // INQUIRY and READ TOC may answer with less than they were allowed; a read may not.
  if (srb.CDBByte[0] == SCSI_READ10 && io.resid > 0) {
    srb.SRB_HaStat = HASTAT_DO_DU;
    return SS_ERR;
  }
  return SS_COMP;
}

BYTE ExecuteOnSg(int fd, SRB_ExecSCSICmd& srb, SgIoctl ioctl) {
  if (!SgAllows(srb)) return CompleteWithSense(srb, SENSE_ILLEGAL_REQUEST, 0x20, 0);
  sg_io_hdr_t io;
  BYTE sense[kSenseBufferSize];
  BuildSgRequest(srb, io, sense);
  const int result = ioctl(fd, &io);
  return SgOutcome(result, io, sense, srb);
}

}  // namespace aspi
