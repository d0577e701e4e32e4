// SG_IO requests built from request blocks, and their outcomes mapped back, against a
// fake device that answers as the kernel would.
#include <gtest/gtest.h>

#include "platform/aspi/internal/SgRequest.h"

using namespace aspi;

namespace {

sg_io_hdr_t seen;    // the last request the fake device received
sg_io_hdr_t answer;  // status fields it answers with
int answerResult = 0;

int FakeDevice(int, sg_io_hdr_t* io) {
  seen = *io;
  io->status = answer.status;
  io->host_status = answer.host_status;
  io->sb_len_wr = answer.sb_len_wr;
  io->resid = answer.resid;
  io->sbp[2] = answer.sb_len_wr > 0 ? SENSE_NOT_READY : 0;
  return answerResult;
}

BYTE buffer[2048];

SRB_ExecSCSICmd Block(std::initializer_list<BYTE> cdb, BYTE flags = SRB_DIR_IN) {
  SRB_ExecSCSICmd srb{};
  srb.SRB_Flags = flags | SRB_EVENT_NOTIFY;
  srb.SRB_BufLen = sizeof buffer;
  srb.SRB_BufPointer = buffer;
  srb.SRB_SenseLen = SENSE_LEN;
  srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  return srb;
}

TEST(SgRequest, OnlyReadsPassWithTheirCdbAndAShortTimeout) {
  SRB_ExecSCSICmd read = Block({SCSI_READ10, 0, 0, 1, 2, 3, 0, 0, 1, 0});
  EXPECT_EQ(ExecuteOnSg(3, read, &FakeDevice), SS_COMP);
  EXPECT_EQ(seen.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(seen.dxferp, buffer);
  EXPECT_EQ(seen.dxfer_len, 2048u);
  EXPECT_EQ(seen.cmd_len, 10);
  EXPECT_EQ(seen.cmdp[5], 3);
  EXPECT_LT(seen.timeout, 600000u);  // ends before the reader's wait does
  SRB_ExecSCSICmd inquiry = Block({SCSI_INQUIRY, 0, 0, 0, 96, 0});
  EXPECT_EQ(ExecuteOnSg(3, inquiry, &FakeDevice), SS_COMP);
  EXPECT_EQ(seen.cmd_len, 6);
  EXPECT_EQ(seen.cmdp[4], 96);
  seen = {};
  for (SRB_ExecSCSICmd refused : {Block({0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}),
                                  Block({SCSI_READ10, 0, 0, 0, 0, 0, 0, 0, 1, 0}, SRB_DIR_OUT),
                                  Block({SCSI_INQUIRY, 0, 0, 0, 96, 0, 0, 0, 0, 0})}) {
    EXPECT_EQ(ExecuteOnSg(3, refused, &FakeDevice), SS_ERR);
    EXPECT_EQ(refused.SenseArea[2], SENSE_ILLEGAL_REQUEST);
  }
  EXPECT_EQ(seen.interface_id, 0);  // none reached the device
}

TEST(SgRequest, OutcomesMapToStatuses) {
  const struct {
    const char* name;
    int result;
    unsigned char status, senseWritten;
    unsigned short host;
    int resid;  // bytes not moved
    BYTE opcode, expected, haStat, targStat;
  } cases[] = {
      {"good", 0, 0, 0, 0, 0, SCSI_READ_TOC, SS_COMP, HASTAT_OK, STATUS_GOOD},
      {"check condition", 0, 2, 4, 0, 0, SCSI_READ_TOC, SS_ERR, HASTAT_OK, STATUS_CHKCOND},
      {"busy", 0, 8, 0, 0, 0, SCSI_READ_TOC, SS_ERR, HASTAT_OK, 8},
      {"ioctl failed", -1, 0, 0, 0, 0, SCSI_READ_TOC, SS_ERR, HASTAT_SEL_TO, STATUS_GOOD},
      {"timed out", 0, 0, 0, 3, 0, SCSI_READ_TOC, SS_ERR, HASTAT_COMMAND_TIMEOUT, STATUS_GOOD},
      {"short table of contents", 0, 0, 0, 0, 1000, SCSI_READ_TOC, SS_COMP, HASTAT_OK, STATUS_GOOD},
      {"short read", 0, 0, 0, 0, 1024, SCSI_READ10, SS_ERR, HASTAT_DO_DU, STATUS_GOOD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SRB_ExecSCSICmd srb = Block({c.opcode, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0});
    answerResult = c.result;
    answer.status = c.status;
    answer.host_status = c.host;
    answer.sb_len_wr = c.senseWritten;
    answer.resid = c.resid;
    EXPECT_EQ(ExecuteOnSg(3, srb, &FakeDevice), c.expected);
    EXPECT_EQ(srb.SRB_HaStat, c.haStat);
    EXPECT_EQ(srb.SRB_TargStat, c.targStat);
    EXPECT_EQ(srb.SenseArea[2], c.senseWritten ? SENSE_NOT_READY : 0);
  }
}

}  // namespace
