#pragma once
// A stand-in for the ASPI layer that records every request block posted to it and
// answers from a script. Built as a loadable library; the test reaches its state
// through the export "RecordingLayerState".

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/aspi/Aspi.h"

namespace recording {

// How one execute request ends.
struct Reply {
  aspi::DWORD returned = aspi::SS_PENDING;  // what SendASPI32Command returns
  aspi::BYTE status = aspi::SS_COMP;        // the block's final status
  bool signal = true;                       // false: the event is never signalled
};

struct Post {
  aspi::SRB_ExecSCSICmd block;  // as the reader posted it
  const void* address;
  bool eventWasReset;
};

struct Device {
  aspi::BYTE adapter, target, lun, type;
  uint8_t inquiry[96];
};

struct State {
  aspi::DWORD adapters = 1;
  std::vector<Device> devices;
  std::deque<Reply> replies;  // when empty, a command completes at once with SS_COMP
  std::vector<Post> posts;
  std::vector<const void*> aborts;
  // Filled into the buffer of every READ TOC and READ(10) that completes.
  uint8_t fill = 0;
  // The largest transfer SC_HA_INQUIRY reports; 0: the command is not known.
  aspi::DWORD maxTransfer = 0;
};

using StateFn = State* (*)();

}  // namespace recording
