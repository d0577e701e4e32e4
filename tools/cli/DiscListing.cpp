#include "tools/cli/DiscListing.h"

#include <algorithm>
#include <iomanip>
#include <utility>

namespace cli {
namespace {

PartitionListing ListPartition(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t index) {
  const AkaiPartition partition = *reader.partitions().At(index);
  PartitionListing listing{PartitionLetter(index), partition.startBlock, partition.sizeBlocks, {}};
  ReadVolumeList(reader, imageBytes, index);
  const int volumeCount = reader.volumes().Count();
  for (int v = 0; v < volumeCount; ++v) {
    // ReadFiles keeps the volume list of this partition, so the name stays valid.
    ReadDirectory(reader, imageBytes, index, static_cast<uint16_t>(v));
    listing.volumes.push_back({reader.volumes().At(v)->name, ListFiles(reader)});
  }
  return listing;
}

// A CD-ROM carries its label in every partition's CD-ROM information; the first
// partition's is the disc's.
std::optional<std::string> ReadLabel(AkaiVolumeReader& reader) {
  char label[13] = {};
  if (reader.partitions().Count() == 0 || !reader.ReadCdLabel(0, label)) return std::nullopt;
  return std::string(label);
}

DiscListing ListPartitions(AkaiVolumeReader& reader, uint64_t imageBytes, std::vector<UnreadablePartition> unreadable) {
  DiscListing listing;
  listing.unreadable = std::move(unreadable);
  listing.label = ReadLabel(reader);
  const int count = reader.partitions().Count();
  for (int p = 0; p < count; ++p) listing.partitions.push_back(ListPartition(reader, imageBytes, static_cast<uint16_t>(p)));
  return listing;
}

}  // namespace

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

const FileListing* FindItem(const std::vector<FileListing>& files, const std::string& name, bool program) {
  const auto found = std::find_if(files.begin(), files.end(), [&](const FileListing& file) {
    return file.name == name && IsProgram(file.kind) == program;
  });
  return found == files.end() ? nullptr : &*found;
}

DiscListing ListDisc(OpenedDisc& disc) { return ListPartitions(disc.reader(), disc.imageBytes(), disc.unreadable()); }

DiscListing ListDisc(AkaiVolumeReader& reader) {
  return ListPartitions(reader, kUnknownLength, ReadPartitionTable(reader, kUnknownLength));
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
  if (listing.label) result["label"] = *listing.label;
  result["partitions"] = partitions;
  return result;
}

void PrintListing(const DiscListing& listing, std::ostream& out) {
  if (listing.label) out << "Label: " << *listing.label << "\n";
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
