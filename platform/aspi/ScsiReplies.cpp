// Replies shared by the adapters: status and sense data, INQUIRY data.
#include <algorithm>
#include <cstring>

#include "platform/aspi/HostAdapter.h"

namespace aspi {

BYTE CompleteGood(SRB_ExecSCSICmd& srb) {
  srb.SRB_HaStat = 0;
  srb.SRB_TargStat = STATUS_GOOD;
  return SS_COMP;
}

BYTE CompleteWithSense(SRB_ExecSCSICmd& srb, BYTE key, BYTE asc, BYTE ascq) {
  BYTE sense[18] = {};
  sense[0] = kSenseResponseCode;
  sense[2] = key;
  sense[7] = 10;  // additional length
  sense[12] = asc;
  sense[13] = ascq;
  std::memset(srb.SenseArea, 0, sizeof srb.SenseArea);
  std::memcpy(srb.SenseArea, sense, std::min<size_t>(srb.SRB_SenseLen, sizeof srb.SenseArea));
  srb.SRB_HaStat = 0;
  srb.SRB_TargStat = STATUS_CHKCOND;
  return SS_ERR;
}

BYTE ReplyInquiry(const PublishedDrive& drive, SRB_ExecSCSICmd& srb) {
  BYTE data[96] = {};
  data[0] = DTYPE_CDROM;
  data[1] = 0x80;  // removable medium
  data[2] = 0x02;  // SCSI-2
  data[3] = 0x02;
  data[4] = sizeof data - 5;
  auto put = [&data](size_t offset, const std::string& text, size_t width) {
    std::memset(data + offset, ' ', width);
    std::memcpy(data + offset, text.data(), std::min(text.size(), width));
  };
  put(8, drive.vendor, 8);
  put(16, drive.product, 16);
  put(32, drive.revision, 4);
  const size_t allocation = srb.CDBByte[4];
  std::memcpy(srb.SRB_BufPointer, data, std::min({allocation, size_t{srb.SRB_BufLen}, sizeof data}));
  return CompleteGood(srb);
}

}  // namespace aspi
