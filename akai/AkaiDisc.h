#pragma once
// Opening an AKAI disc over any SectorSource, as the command line and the main program
// both do: the signature test on sector 0, then the partition table of block 2. The
// partitions the table names but that cannot be read are left out of the reader's
// list and reported.

#include <exception>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "akai/SectorSource.h"

class AkaiDisc {
 public:
  // Where opening stopped.
  enum class Step {
    kFirstSector,     // sector 0 could not be read
    kSignature,       // sector 0 does not carry the AKAI signature
    kPartitionTable,  // block 2 could not be read or decoded
  };
  // `cause` holds what the reader threw (null for kSignature).
  struct OpenError {
    Step step;
    std::exception_ptr cause;
  };

  // Reads through `source`, which must outlive the disc. Throws OpenError.
  explicit AkaiDisc(SectorSource& source);
  AkaiDisc(const AkaiDisc&) = delete;
  AkaiDisc& operator=(const AkaiDisc&) = delete;

  AkaiVolumeReader& reader() { return reader_; }
  // The table's partitions left out as unreadable, in table order.
  const std::vector<SkippedPartition>& skipped() const { return reader_.skippedPartitions(); }

 private:
  AkaiVolumeReader reader_;
};
