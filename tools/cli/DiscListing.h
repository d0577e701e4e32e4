#pragma once
// Everything a disc lists: its partitions, their volumes, and the programs and samples
// of each volume, read through the volume reader; with the JSON and text forms that
// `carvox-cli list` prints.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "akai/AkaiRecords.h"
#include "akai/AkaiVolumeReader.h"
#include "tools/cli/DiscAccess.h"

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

struct DiscListing {
  // The CD label that the first partition's CD-ROM information carries, if any.
  std::optional<std::string> label;
  std::vector<PartitionListing> partitions;
  std::vector<UnreadablePartition> unreadable;
};

// The kind as the JSON listing names it ("S1000Program", ...).
const char* KindName(AkaiFileKind kind);

// The programs and samples of the directory the reader holds (after ReadFiles).
std::vector<FileListing> ListFiles(const AkaiVolumeReader& reader);

// The first entry named `name` (as listed) of a program (`program`) or a sample, or null.
const FileListing* FindItem(const std::vector<FileListing>& files, const std::string& name, bool program);

// Reads the whole structure of the opened disc. Throws CommandError.
DiscListing ListDisc(OpenedDisc& disc);
// The same for a reader over any source (its partition table is read first); reads
// past the end of the disc cannot be told from other read errors there.
DiscListing ListDisc(AkaiVolumeReader& reader);

// {["label",] "partitions": [{"letter", "start", "size", "volumes": [{"name", "files":
// [{"name", "kind", "size", "start"}]}]}]}
nlohmann::ordered_json ToJson(const DiscListing& listing);
void PrintListing(const DiscListing& listing, std::ostream& out);

}  // namespace cli
