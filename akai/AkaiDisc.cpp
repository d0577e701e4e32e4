#include "akai/AkaiDisc.h"

#include "akai/DiscSignature.h"
#include "common/CodedError.h"

AkaiDisc::AkaiDisc(SectorSource& source) : reader_(source) {
  uint8_t sector[SectorSource::kSectorSize];
  try {
    source.ReadSectors(0, sector, 1);
  } catch (const CDReaderException&) {
    throw OpenError{Step::kFirstSector, std::current_exception()};
  }
  if (!HasAkaiSignature(sector, sizeof sector)) throw OpenError{Step::kSignature, nullptr};
  try {
    reader_.ReadPartitions();
  } catch (const CodedError&) {
    // A block that cannot be read, or a table that cannot be decoded.
    throw OpenError{Step::kPartitionTable, std::current_exception()};
  }
}
