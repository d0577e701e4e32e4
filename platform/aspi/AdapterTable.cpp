#include "platform/aspi/HostAdapter.h"

namespace aspi {

std::span<const AdapterEntry> HostAdapters() {
  static const AdapterEntry kAdapters[] = {
      {"virtual drives", &CreateVirtualDriveAdapter},
      {"SCSI generic drives", &CreateSgAdapter},
  };
  return kAdapters;
}

}  // namespace aspi
