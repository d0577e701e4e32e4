#include "tools/cli/DiscListing.h"

#include <algorithm>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <utility>

#include "akai/PlayLoopAndTuning.h"
#include "tools/cli/internal/TypedNames.h"

namespace cli {
namespace {

SampleDetails DetailsOf(const AkaiSample& sample) {
  const ZoneTuning tuning = ComputeZoneTuning(0, 0, 0, 0, sample.semitoneTune, sample.centsTune, 0, 0);
  SampleDetails details{sample.sampleRate, sample.sampleCount, sample.originalKey,
                        100 * tuning.coarse + tuning.fine, 1, std::nullopt};
  const PlayLoop loop = FindPlayLoopInside(sample);
  if (loop.length != 0) {
    const auto entry = std::find_if(std::begin(sample.loops), std::end(sample.loops), [&](const AkaiLoop& l) {
      return l.end - l.length == loop.start && l.length == loop.length;
    });
    const bool held = entry != std::end(sample.loops) && entry->time == 9999;
    details.loop = SampleDetails::Loop{loop.start, loop.start + loop.length - 1, held ? "hold" : "timed"};
  }
  return details;
}

ProgramDetails DetailsOf(const AkaiProgram& program) {
  ProgramDetails details{program.header15to41[0], program.keygroups.Count(), 0};
  for (int k = 0; k < program.keygroups.Count(); ++k) details.zones += program.keygroups.At(k)->zoneCount;
  return details;
}

// Reads the header of every file of the volume the reader holds into its listing; a
// header that cannot be read is noted in `failures`.
void ReadDetails(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t partition, uint16_t volume,
                 const std::string& label, std::vector<FileListing>& files, std::vector<std::string>& failures) {
  for (FileListing& file : files) {
    try {
      if (IsProgram(file.kind)) {
        reader.LoadProgram(partition, volume, file.name.c_str());
        file.program = DetailsOf(reader.program());
      } else {
        reader.LoadSample(partition, volume, file.name.c_str(), false);
        file.sample = DetailsOf(reader.sample());
      }
    } catch (const CodedError&) {
      const uint16_t start = reader.partitions().At(partition)->startBlock;
      failures.push_back(label + "/" + file.name + ": cannot read its header: " +
                         FailureReason(std::current_exception(), imageBytes,
                                       FilePlace(start, file.start, file.size, "its directory entry")));
    }
  }
}

// The partition's readable volumes; a volume list or directory that cannot be read is
// noted in `failures` and left out.
PartitionListing ListPartition(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t index, bool details,
                               std::vector<std::string>& failures) {
  const AkaiPartition partition = *reader.partitions().At(index);
  PartitionListing listing{PartitionLetter(index), partition.startBlock, partition.sizeBlocks, {}};
  try {
    ReadVolumeList(reader, imageBytes, index);
  } catch (const CommandError& error) {
    failures.push_back(error.what());
    return listing;
  }
  const int volumeCount = reader.volumes().Count();
  for (int v = 0; v < volumeCount; ++v) {
    try {
      // ReadFiles keeps the volume list of this partition, so the name stays valid.
      ReadDirectory(reader, imageBytes, index, static_cast<uint16_t>(v));
      const std::string name = reader.volumes().At(v)->name;
      listing.volumes.push_back({name, ListFiles(reader)});
      if (details) {
        ReadDetails(reader, imageBytes, index, static_cast<uint16_t>(v), listing.letter + "/" + name,
                    listing.volumes.back().files, failures);
      }
    } catch (const CommandError& error) {
      failures.push_back(error.what());
    }
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

DiscListing ListPartitions(AkaiVolumeReader& reader, uint64_t imageBytes, std::vector<UnreadablePartition> unreadable,
                           bool details) {
  DiscListing listing;
  listing.unreadable = std::move(unreadable);
  listing.label = ReadLabel(reader);
  const int count = reader.partitions().Count();
  for (int p = 0; p < count; ++p) {
    listing.partitions.push_back(ListPartition(reader, imageBytes, static_cast<uint16_t>(p), details, listing.failures));
  }
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
  for (const AkaiFile& file : reader.files()) {
    files.push_back({file.name, file.kind, file.length, file.startBlock, std::nullopt, std::nullopt});
  }
  return files;
}

const FileListing* FindItem(const std::vector<FileListing>& files, const std::string& name, bool program) {
  const auto found = std::find_if(files.begin(), files.end(), [&](const FileListing& file) {
    return file.name == name && IsProgram(file.kind) == program;
  });
  return found == files.end() ? nullptr : &*found;
}

std::string ListedItemName(const std::vector<FileListing>& files, const std::string& typed, bool samplesOnly,
                           const std::string& volumeLabel) {
  std::vector<std::string> names;
  for (const FileListing& file : files) {
    if (!samplesOnly || !IsProgram(file.kind)) names.push_back(file.name);
  }
  const std::string what = samplesOnly ? "sample" : "program or sample";
  if (const std::optional<std::string> listed = MatchTypedName(names, typed, what)) return *listed;
  const std::string closest = ClosestNames(names, typed);
  throw CommandError("volume " + volumeLabel + " has no " + what + " named \"" + typed + "\"" +
                     (closest.empty() ? "" : " (closest: " + closest + ")"));
}

DiscListing ListDisc(OpenedDisc& disc, bool details) {
  return ListPartitions(disc.reader(), disc.imageBytes(), disc.unreadable(), details);
}

DiscListing ListDisc(AkaiVolumeReader& reader) {
  return ListPartitions(reader, kUnknownLength, ReadPartitionTable(reader, kUnknownLength), false);
}

namespace {

void AddDetails(const FileListing& file, nlohmann::ordered_json& entry) {
  if (const std::optional<SampleDetails>& sample = file.sample) {
    entry["rate"] = sample->rate;
    entry["frames"] = sample->frames;
    entry["rootKey"] = sample->rootKey;
    entry["loop"] = sample->loop ? nlohmann::ordered_json{{"start", sample->loop->start},
                                                         {"end", sample->loop->end},
                                                         {"mode", sample->loop->mode}}
                                 : nlohmann::ordered_json(nullptr);
    entry["tuning"] = sample->tuningCents;
    entry["channels"] = sample->channels;
  }
  if (const std::optional<ProgramDetails>& program = file.program) {
    entry["midiProgram"] = program->midiProgram;
    entry["keygroups"] = program->keygroups;
    entry["zones"] = program->zones;
  }
}

// ", 44100 Hz, 26000 frames, root key 48, loop 14083-17332 (timed), tuning 0 cents"
std::string DetailsText(const FileListing& file) {
  std::ostringstream text;
  if (const std::optional<SampleDetails>& sample = file.sample) {
    text << "  " << sample->rate << " Hz, " << sample->frames << " frames, root key " << sample->rootKey;
    if (sample->loop) {
      text << ", loop " << sample->loop->start << "-" << sample->loop->end << " (" << sample->loop->mode << ")";
    } else {
      text << ", no loop";
    }
    text << ", tuning " << sample->tuningCents << " cents";
  }
  if (const std::optional<ProgramDetails>& program = file.program) {
    text << "  MIDI program " << program->midiProgram << ", " << program->keygroups << " keygroups, "
         << program->zones << " zones";
  }
  return text.str();
}

}  // namespace

nlohmann::ordered_json ToJson(const DiscListing& listing) {
  nlohmann::ordered_json partitions = nlohmann::ordered_json::array();
  for (const PartitionListing& partition : listing.partitions) {
    nlohmann::ordered_json volumes = nlohmann::ordered_json::array();
    for (const VolumeListing& volume : partition.volumes) {
      nlohmann::ordered_json files = nlohmann::ordered_json::array();
      for (const FileListing& file : volume.files) {
        nlohmann::ordered_json entry = {
            {"name", file.name}, {"kind", KindName(file.kind)}, {"size", file.size}, {"start", file.start}};
        AddDetails(file, entry);
        files.push_back(entry);
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
            << std::right << std::setw(9) << file.size << " bytes  block " << file.start << DetailsText(file) << "\n";
      }
    }
  }
}

}  // namespace cli
