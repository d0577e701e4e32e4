#include "tools/cli/DiscListing.h"

#include <iomanip>

#include "akai/PartitionTable.h"

namespace cli {
namespace {

// Runs one read of the reader and turns its failures into a ListingError that names
// the structure being read.
template <typename Read>
void ReadOrExplain(Read read, const std::string& what, uint32_t block) {
  try {
    read();
  } catch (const CDReaderException& e) {
    throw ListingError("cannot read " + what + " (block " + std::to_string(block) + ", status " +
                           std::to_string(e.status) + ")",
                       block, true);
  } catch (const AKAIException&) {
    throw ListingError(what + " is corrupt: it holds a name that is not AKAI text", block, false);
  }
}

// The table's partitions that ReadPartitions left out. Listed partitions keep their
// table order, so the table is matched against the list in step.
std::vector<UnreadablePartition> FindUnreadable(AkaiVolumeReader& reader) {
  reader.ReadBlock(2);
  const std::vector<PartitionTableEntry> table = ParsePartitionTable(reader.blockBuffer() + kPartitionTableOffset);
  const ChainedList<AkaiPartition>& listed = reader.partitions();
  std::vector<UnreadablePartition> unreadable;
  int next = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    const bool matches = next < listed.Count() && listed.At(next)->startBlock == table[i].startBlock &&
                         listed.At(next)->sizeBlocks == table[i].sizeBlocks;
    if (matches) {
      ++next;
    } else {
      unreadable.push_back({static_cast<int>(i), table[i].startBlock, table[i].sizeBlocks});
    }
  }
  return unreadable;
}

PartitionListing ListPartition(AkaiVolumeReader& reader, uint16_t index) {
  const AkaiPartition partition = *reader.partitions().At(index);
  PartitionListing listing{PartitionLetter(index), partition.startBlock, partition.sizeBlocks, {}};
  ReadOrExplain([&] { reader.ReadVolumes(index); }, "the volume list of partition " + listing.letter,
                partition.startBlock);
  const int volumeCount = reader.volumes().Count();
  for (int v = 0; v < volumeCount; ++v) {
    // ReadFiles keeps the volume list of this partition, so the copy stays valid.
    const AkaiVolume volume = *reader.volumes().At(v);
    const uint32_t dirBlock = uint32_t{partition.startBlock} + volume.dirBlock;
    ReadOrExplain([&] { reader.ReadFiles(index, static_cast<uint16_t>(v)); },
                  "the directory of volume " + listing.letter + "/" + volume.name, dirBlock);
    listing.volumes.push_back({volume.name, ListFiles(reader)});
  }
  return listing;
}

std::string KindText(AkaiFileKind kind) {
  switch (kind) {
    case S1000Program: return "S1000 program";
    case S3000Program: return "S3000 program";
    case S1000Sample: return "S1000 sample";
    case S3000Sample: return "S3000 sample";
  }
  return "unknown";
}

}  // namespace

std::string PartitionLetter(int index) { return std::string(1, static_cast<char>('A' + index)); }

const char* KindName(AkaiFileKind kind) {
  switch (kind) {
    case S1000Program: return "S1000Program";
    case S3000Program: return "S3000Program";
    case S1000Sample: return "S1000Sample";
    case S3000Sample: return "S3000Sample";
  }
  return "unknown";
}

std::vector<FileListing> ListFiles(const AkaiVolumeReader& reader) {
  std::vector<FileListing> files;
  const ChainedList<AkaiFile>& list = reader.files();
  for (int f = 0; f < list.Count(); ++f) {
    const AkaiFile& file = *list.At(f);
    files.push_back({file.name, file.kind, file.length, file.startBlock});
  }
  return files;
}

DiscListing ListDisc(AkaiVolumeReader& reader) {
  DiscListing listing;
  ReadOrExplain([&] { reader.ReadPartitions(); }, "the partition table", 2);
  ReadOrExplain([&] { listing.unreadable = FindUnreadable(reader); }, "the partition table", 2);
  const int count = reader.partitions().Count();
  for (int p = 0; p < count; ++p) listing.partitions.push_back(ListPartition(reader, static_cast<uint16_t>(p)));
  return listing;
}

nlohmann::ordered_json ToJson(const DiscListing& listing) {
  nlohmann::ordered_json partitions = nlohmann::ordered_json::array();
  for (const PartitionListing& partition : listing.partitions) {
    nlohmann::ordered_json volumes = nlohmann::ordered_json::array();
    for (const VolumeListing& volume : partition.volumes) {
      nlohmann::ordered_json files = nlohmann::ordered_json::array();
      for (const FileListing& file : volume.files) {
        files.push_back({{"name", file.name}, {"kind", KindName(file.kind)}, {"size", file.size}, {"start", file.start}});
      }
      volumes.push_back({{"name", volume.name}, {"files", files}});
    }
    partitions.push_back({{"letter", partition.letter},
                          {"start", partition.start},
                          {"size", partition.size},
                          {"volumes", volumes}});
  }
  nlohmann::ordered_json result;
  result["partitions"] = partitions;
  return result;
}

void PrintListing(const DiscListing& listing, std::ostream& out) {
  if (listing.partitions.empty()) out << "No partitions.\n";
  for (const PartitionListing& partition : listing.partitions) {
    out << "Partition " << partition.letter << ": start block " << partition.start << ", " << partition.size
        << " blocks\n";
    if (partition.volumes.empty()) out << "  (no volumes)\n";
    for (const VolumeListing& volume : partition.volumes) {
      out << "  Volume " << partition.letter << "/" << volume.name << "\n";
      if (volume.files.empty()) out << "    (no programs or samples)\n";
      for (const FileListing& file : volume.files) {
        out << "    " << std::left << std::setw(13) << file.name << std::setw(15) << KindText(file.kind)
            << std::right << std::setw(9) << file.size << " bytes  block " << file.start << "\n";
      }
    }
  }
}

}  // namespace cli
