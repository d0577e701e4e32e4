#include "akai/AkaiDisc.h"

#include "akai/DiscSignature.h"

AkaiDisc::AkaiDisc(SectorSource& source) : reader_(source) {
  uint8_t sector[SectorSource::kSectorSize];
  try {
    source.ReadSectors(0, sector, 1);
  } catch (...) {
    throw OpenError{Step::kFirstSector, std::current_exception()};
  }
  if (!HasAkaiSignature(sector, sizeof sector)) throw OpenError{Step::kSignature, nullptr};
  try {
    reader_.ReadPartitions();
  } catch (...) {
    throw OpenError{Step::kPartitionTable, std::current_exception()};
  }
}
