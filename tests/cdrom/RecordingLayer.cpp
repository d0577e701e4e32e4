#include "tests/cdrom/RecordingLayer.h"

#include <cstring>

using namespace aspi;

namespace {

recording::State state;

DWORD DeviceType(SRB_GDEVBlock& block) {
  block.SRB_Status = SS_NO_DEVICE;
  for (const recording::Device& device : state.devices) {
    if (device.adapter == block.SRB_HaId && device.target == block.SRB_Target && device.lun == block.SRB_Lun) {
      block.SRB_DeviceType = device.type;
      block.SRB_Status = SS_COMP;
    }
  }
  return block.SRB_Status;
}

DWORD Execute(SRB_ExecSCSICmd& block) {
  const bool reset = platform::WaitForSingleObject(block.SRB_PostProc, 0) == platform::WAIT_TIMEOUT;
  state.posts.push_back({block, &block, reset});
  recording::Reply reply;
  if (!state.replies.empty()) {
    reply = state.replies.front();
    state.replies.pop_front();
  }
  // A block left unsignalled stays pending unless it was answered at once.
  block.SRB_Status = reply.signal || reply.returned != SS_PENDING ? reply.status : SS_PENDING;
  if (block.SRB_Status == SS_COMP && block.CDBByte[0] == SCSI_INQUIRY) {
    for (const recording::Device& device : state.devices) {
      if (device.adapter == block.SRB_HaId && device.target == block.SRB_Target && device.lun == block.SRB_Lun) {
        std::memcpy(block.SRB_BufPointer, device.inquiry, sizeof device.inquiry);
      }
    }
  } else if (block.SRB_Status == SS_COMP) {
    std::memset(block.SRB_BufPointer, state.fill, block.SRB_BufLen);
  }
  if (reply.signal) platform::SetEvent(block.SRB_PostProc);
  return reply.returned;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) recording::State* RecordingLayerState() { return &state; }

extern "C" __attribute__((visibility("default"))) DWORD GetASPI32SupportInfo() {
  return (DWORD{SS_COMP} << 8) | state.adapters;
}

extern "C" __attribute__((visibility("default"))) DWORD SendASPI32Command(void* block) {
  switch (static_cast<SRB_Header*>(block)->SRB_Cmd) {
    case SC_HA_INQUIRY: {
      if (state.maxTransfer == 0) return SS_INVALID_CMD;
      auto& inquiry = *static_cast<SRB_HAInquiry*>(block);
      std::memcpy(inquiry.HA_Unique + kMaxTransferOffset, &state.maxTransfer, sizeof state.maxTransfer);
      return inquiry.SRB_Status = SS_COMP;
    }
    case SC_GET_DEV_TYPE: return DeviceType(*static_cast<SRB_GDEVBlock*>(block));
    case SC_EXEC_SCSI_CMD: return Execute(*static_cast<SRB_ExecSCSICmd*>(block));
    case SC_ABORT_SRB: {
      auto& abort = *static_cast<SRB_Abort*>(block);
      state.aborts.push_back(abort.SRB_ToAbort);
      static_cast<SRB_ExecSCSICmd*>(abort.SRB_ToAbort)->SRB_Status = SS_ABORTED;
      return abort.SRB_Status = SS_COMP;
    }
    default: return SS_INVALID_CMD;
  }
}
