#include "tools/cli/DiscAccess.h"

#include <algorithm>
#include <cctype>

#include "akai/DiscSignature.h"
#include "common/ChainedList.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string PartitionCountText(int count) {
  if (count == 0) return "the disc has no readable partitions";
  return "the disc has " + std::to_string(count) + (count == 1 ? " partition, A" : " partitions, A to ") +
         (count == 1 ? "" : PartitionLetter(count - 1)) + " (0 to " + std::to_string(count - 1) + ")";
}

std::string VolumeNamesText(const ChainedList<AkaiVolume>& volumes) {
  if (volumes.Count() == 0) return "it has no volumes";
  std::string names = "its volumes: ";
  for (int v = 0; v < volumes.Count(); ++v) names += (v ? ", \"" : "\"") + std::string(volumes.At(v)->name) + "\"";
  return names;
}

// Finds the volume the choice names in the volume list just read.
int FindVolume(const ChainedList<AkaiVolume>& volumes, const VolumeChoice& choice, const std::string& letter) {
  if (choice.volumeIndex) {
    if (*choice.volumeIndex < 0 || *choice.volumeIndex >= volumes.Count()) {
      throw CommandError("partition " + letter + " has no volume with index " + std::to_string(*choice.volumeIndex) +
                         " (" + VolumeNamesText(volumes) + ", counted from 0)");
    }
    return *choice.volumeIndex;
  }
  const std::string& name = choice.volumeName.value();
  for (int v = 0; v < volumes.Count(); ++v) {
    if (volumes.At(v)->name == name) return v;
  }
  throw CommandError("partition " + letter + " has no volume named \"" + name + "\" (" + VolumeNamesText(volumes) +
                     ")");
}

}  // namespace

std::string CheckSignature(ImageFileSource& source) {
  uint8_t sector[SectorSource::kSectorSize];
  try {
    source.ReadSectors(0, sector, 1);
  } catch (const CDReaderException&) {
    return "not an AKAI disc image: it is too short to hold a first sector (" + std::to_string(source.sizeBytes()) +
           " bytes)";
  }
  if (!HasAkaiSignature(sector, sizeof sector)) {
    return "not an AKAI S1000/S3000 disc image (the disc signature in its first sector does not match)";
  }
  return "";
}

VolumeOptions::VolumeOptions(CLI::App& command, std::string& partitionValue) {
  partition = command.add_option("--partition", partitionValue, "Partition letter as listed, or 0-based index");
  name = command.add_option("--volume", nameValue_, "Volume name exactly as listed");
  index = command.add_option("--volume-index", indexValue_, "0-based position of the volume in its partition");
  name->excludes(index);
}

VolumeChoice VolumeOptions::Choice(const std::string& partitionValue) const {
  VolumeChoice choice{partitionValue, std::nullopt, std::nullopt};
  if (name->count() > 0) choice.volumeName = nameValue_;
  if (index->count() > 0) choice.volumeIndex = indexValue_;
  return choice;
}

OpenedDisc::OpenedDisc(const std::filesystem::path& image) : source_(image), reader_(source_) {
  if (const std::string problem = CheckSignature(source_); !problem.empty()) throw CommandError(problem);
  try {
    reader_.ReadPartitions();
  } catch (...) {
    throw CommandError("cannot read the partition table: " +
                       FailureReason(std::current_exception(), source_, 3 * AkaiVolumeReader::kBlockSize));
  }
}

uint16_t ResolvePartition(OpenedDisc& disc, const std::string& choice) {
  const int count = disc.reader().partitions().Count();
  int index = -1;
  if (AllDigits(choice)) {
    index = choice.size() <= 3 ? std::stoi(choice) : count;
  } else if (choice.size() == 1) {
    index = static_cast<unsigned char>(choice[0]) - 'A';
  } else {
    throw CommandError("\"" + choice + "\" is neither a partition letter nor a partition index");
  }
  if (index < 0 || index >= count) {
    throw CommandError("there is no partition \"" + choice + "\": " + PartitionCountText(count));
  }
  return static_cast<uint16_t>(index);
}

SelectedVolume SelectVolume(OpenedDisc& disc, const VolumeChoice& choice) {
  AkaiVolumeReader& reader = disc.reader();
  const uint16_t partition = ResolvePartition(disc, choice.partition);
  const std::string letter = PartitionLetter(partition);
  try {
    reader.ReadVolumes(partition);
  } catch (...) {
    const uint64_t start = reader.partitions().At(partition)->startBlock;
    throw CommandError("cannot read the volume list of partition " + letter + ": " +
                       FailureReason(std::current_exception(), disc.source(),
                                     (start + 1) * AkaiVolumeReader::kBlockSize));
  }
  const int volume = FindVolume(reader.volumes(), choice, letter);
  return {partition, static_cast<uint16_t>(volume), letter + "/" + reader.volumes().At(volume)->name};
}

int ReportFailures(const std::filesystem::path& image, std::ostream& err, const std::function<int()>& command) {
  try {
    return command();
  } catch (const ImageOpenError& error) {
    err << kProgram << ": " << error.what() << "\n";
  } catch (const std::exception& error) {
    err << kProgram << ": " << image.string() << ": " << error.what() << "\n";
  } catch (...) {
    // The reader's own exception types outside the steps that explain them.
    err << kProgram << ": " << image.string() << ": the disc structure cannot be read\n";
  }
  return kExitFailure;
}

std::string FailureReason(const std::exception_ptr& failure, const ImageFileSource& source, uint64_t endByte) {
  try {
    std::rethrow_exception(failure);
  } catch (const AKAIException& e) {
    switch (e.code) {
      case 2: return "the data is corrupt (a name or header that cannot be decoded)";
      case 3: return "it is not in the volume's directory";
      case 6: return "its loop table contradicts itself";
      default: return "AKAI error " + std::to_string(e.code);
    }
  } catch (const CDReaderException& e) {
    std::string reason = "the disc cannot be read there (read status " + std::to_string(e.status) + ")";
    if (endByte > source.sizeBytes()) {
      reason += "; the image is truncated (it ends at byte " + std::to_string(source.sizeBytes()) + ")";
    }
    return reason;
  } catch (const ChainedListExeption& e) {
    return "no such entry (list error " + std::to_string(e.code) + ")";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown failure";
  }
}

}  // namespace cli
