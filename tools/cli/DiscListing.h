#pragma once
// Everything a disc lists: its partitions, their volumes, and the programs and samples
// of each volume, read through the volume reader; with the JSON and text forms that
// `carvox-cli list` prints.

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "akai/AkaiRecords.h"
#include "akai/AkaiVolumeReader.h"

namespace cli {

struct FileListing {
  std::string name;
  AkaiFileKind kind = S1000Sample;
  uint32_t size = 0;   // bytes
  uint16_t start = 0;  // first block, relative to the partition
};

struct VolumeListing {
  std::string name;
  std::vector<FileListing> files;
};

struct PartitionListing {
  std::string letter;  // 'A' + position in the list, running on past 'Z'
  uint16_t start = 0;
  uint16_t size = 0;
  std::vector<VolumeListing> volumes;
};

// A partition the table names whose first block could not be read.
struct UnreadablePartition {
  int tableIndex = 0;  // 0-based position in the partition table
  uint16_t start = 0;
  uint16_t size = 0;
};

struct DiscListing {
  std::vector<PartitionListing> partitions;
  std::vector<UnreadablePartition> unreadable;
};

// A listing that stopped: `what` says which structure (and `block` where) could not
// be read or decoded.
class ListingError : public std::runtime_error {
 public:
  ListingError(const std::string& what, uint32_t block, bool readFailed)
      : std::runtime_error(what), block_(block), readFailed_(readFailed) {}
  uint32_t block() const { return block_; }
  // True for a failed read, false for data that does not decode.
  bool readFailed() const { return readFailed_; }

 private:
  uint32_t block_;
  bool readFailed_;
};

std::string PartitionLetter(int index);
const char* KindName(AkaiFileKind kind);

// The programs and samples of the directory the reader holds (after ReadFiles).
std::vector<FileListing> ListFiles(const AkaiVolumeReader& reader);

// Reads the whole structure of the disc behind `reader`. Throws ListingError.
DiscListing ListDisc(AkaiVolumeReader& reader);

// {"partitions": [{"letter", "start", "size", "volumes": [{"name", "files": [{"name",
// "kind", "size", "start"}]}]}]}
nlohmann::ordered_json ToJson(const DiscListing& listing);
void PrintListing(const DiscListing& listing, std::ostream& out);

}  // namespace cli
