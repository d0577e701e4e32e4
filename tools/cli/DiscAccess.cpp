#include "tools/cli/DiscAccess.h"

#include "tools/cli/internal/TypedNames.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "akai/AkaiException.h"
#include "common/ChainedList.h"
#include "common/CodedError.h"
#include "tools/cli/DriveAccess.h"

namespace cli {
namespace {

constexpr uint64_t kBlockSize = AkaiVolumeReader::kBlockSize;

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "block 7" or "blocks 7 to 9".
std::string BlocksText(const ReadPlace& place) {
  const uint64_t last = place.endByte > 0 ? (place.endByte - 1) / kBlockSize : place.firstBlock;
  if (last <= place.firstBlock) return "block " + std::to_string(place.firstBlock);
  return "blocks " + std::to_string(place.firstBlock) + " to " + std::to_string(last);
}

// Why a read at `place` failed. A place past the end of the image is said so; that the
// image is cut short is said alone only where every disc has data (the partition
// table): elsewhere the entry that gave the place may just as well be wrong.
std::string CannotReadText(const ReadPlace* place, uint64_t imageBytes, const std::string& status) {
  if (place != nullptr && place->endByte > imageBytes) {
    const std::string ends = "ends at byte " + std::to_string(imageBytes);
    if (place->namedBy.empty()) {
      return "the image is cut short (it " + ends + ", before the end of " + BlocksText(*place) + ")";
    }
    const bool outside = place->firstBlock * kBlockSize >= imageBytes;
    return std::string(outside ? "it lies" : "it reaches") + " past the end of the image (" + BlocksText(*place) +
           "; the image " + ends + "): the image is cut short or " + place->namedBy + " is wrong";
  }
  std::string details = place != nullptr ? BlocksText(*place) : "";
  if (!status.empty()) details += (details.empty() ? "" : ", ") + status;
  return "the disc cannot be read there" + (details.empty() ? "" : " (" + details + ")");
}

std::string PartitionCountText(int count, const std::vector<UnreadablePartition>& unreadable) {
  std::string text = count == 0 ? "the disc has no readable partitions"
                                : "the disc has " + std::to_string(count) +
                                      (count == 1 ? " partition, A" : " partitions, A to " + PartitionLetter(count - 1)) +
                                      " (0 to " + std::to_string(count - 1) + ")";
  for (const UnreadablePartition& partition : unreadable) text += "; " + DescribeUnreadable(partition) + " cannot be read";
  return text;
}

std::string PartitionTableText(const std::exception_ptr& failure, uint64_t imageBytes) {
  return "cannot read the partition table: " + FailureReason(failure, imageBytes, ReadPlace{2, 3 * kBlockSize, ""});
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
  std::vector<std::string> names;
  for (int v = 0; v < volumes.Count(); ++v) names.push_back(volumes.At(v)->name);
  const std::string& name = choice.volumeName.value();
  if (const std::optional<std::string> listed = MatchTypedName(names, name, "volume")) {
    return static_cast<int>(std::find(names.begin(), names.end(), *listed) - names.begin());
  }
  throw CommandError("partition " + letter + " has no volume named \"" + name + "\" (" + VolumeNamesText(volumes) +
                     ")");
}

}  // namespace

std::string PartitionLetter(int index) { return std::string(1, static_cast<char>('A' + index)); }

bool IsProgram(AkaiFileKind kind) { return kind == S1000Program || kind == S3000Program; }

std::string KindText(AkaiFileKind kind) {
  switch (kind) {
    case S1000Program: return "S1000 program";
    case S3000Program: return "S3000 program";
    case S1000Sample: return "S1000 sample";
    case S3000Sample: return "S3000 sample";
  }
  return "unknown";
}

ReadPlace FilePlace(uint16_t partitionStart, uint16_t fileStart, uint32_t length, const std::string& namedBy) {
  const uint64_t first = uint64_t{partitionStart} + fileStart;
  return {first, first * kBlockSize + std::max<uint32_t>(length, 1), namedBy};
}

std::string FailureReason(const std::exception_ptr& failure, uint64_t imageBytes,
                          const std::optional<ReadPlace>& place) {
  try {
    std::rethrow_exception(failure);
  } catch (const AKAIException& e) {
    switch (e.code) {
      case AKAIException::kCorruptData: return "the data is corrupt (a name or header that cannot be decoded)";
      case AKAIException::kNameNotFound: return "it is not in the volume's directory";
      case AKAIException::kContradictoryLoops: return "its loop table contradicts itself";
      default: return e.what();
    }
  } catch (const CDReaderException& e) {
    return CannotReadText(place ? &*place : nullptr, imageBytes, "read status " + std::to_string(e.status));
  } catch (const ChainedListExeption& e) {
    return "no such entry (list error " + std::to_string(e.code) + ")";
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string DescribeUnreadable(const UnreadablePartition& partition) {
  return "partition " + std::to_string(partition.tableIndex + 1) + " of the partition table (start block " +
         std::to_string(partition.start) + ", " + std::to_string(partition.size) + " blocks)";
}

std::string UnreadableReason(const UnreadablePartition& partition, uint64_t imageBytes) {
  const ReadPlace place{partition.start, (uint64_t{partition.start} + 1) * kBlockSize, "the partition table"};
  return CannotReadText(&place, imageBytes, "");
}

const std::vector<UnreadablePartition>& ReadPartitionTable(AkaiVolumeReader& reader, uint64_t imageBytes) {
  try {
    reader.ReadPartitions();
    return reader.skippedPartitions();
  } catch (const CodedError&) {
    throw CommandError(PartitionTableText(std::current_exception(), imageBytes));
  }
}

void ReadVolumeList(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t partition) {
  const uint64_t start = reader.partitions().At(partition)->startBlock;
  try {
    reader.ReadVolumes(partition);
  } catch (const CodedError&) {
    throw CommandError("partition " + PartitionLetter(partition) + ": cannot read its volume list: " +
                       FailureReason(std::current_exception(), imageBytes,
                                     ReadPlace{start, (start + 1) * kBlockSize, "the partition table"}));
  }
}

void ReadDirectory(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t partition, uint16_t volume) {
  if (reader.currentPartition() != partition || reader.volumes().Count() == 0) {
    ReadVolumeList(reader, imageBytes, partition);
  }
  const AkaiVolume& entry = *reader.volumes().At(volume);
  const uint64_t block = uint64_t{reader.partitions().At(partition)->startBlock} + entry.dirBlock;
  const std::string label = PartitionLetter(partition) + "/" + entry.name;
  try {
    reader.ReadFiles(partition, volume);
  } catch (const CodedError&) {
    throw CommandError("volume " + label + ": cannot read its directory: " +
                       FailureReason(std::current_exception(), imageBytes,
                                     ReadPlace{block, (block + 1) * kBlockSize, "the volume list"}));
  }
}

std::optional<char> DriveLetterOf(const std::filesystem::path& disc) {
  const std::string text = disc.string();
  if (text.size() != 2 || text[1] != ':' || !std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
}

OpenedDisc::OpenedDisc(const std::filesystem::path& disc) {
  const std::optional<char> letter = DriveLetterOf(disc);
  if (letter) {
    source_ = OpenDrive(*letter);
  } else {
    auto image = std::make_unique<ImageFileSource>(disc);
    imageBytes_ = image->sizeBytes();
    source_ = std::move(image);
  }
  try {
    disc_ = std::make_unique<AkaiDisc>(*source_);
  } catch (const AkaiDisc::OpenError& error) {
    const std::string what = letter ? "disc" : "disc image";
    switch (error.step) {
      case AkaiDisc::Step::kFirstSector:
        if (letter) throw CommandError("cannot read the first sector: " + FailureReason(error.cause, imageBytes_));
        throw CommandError("not an AKAI disc image: it is too short to hold a first sector (" +
                           std::to_string(imageBytes_) + " bytes)");
      case AkaiDisc::Step::kSignature:
        throw CommandError("not an AKAI S1000/S3000 " + what +
                           " (the disc signature in its first sector does not match)");
      case AkaiDisc::Step::kPartitionTable: throw CommandError(PartitionTableText(error.cause, imageBytes_));
    }
  }
}

// "A/DRUMS" as `list` prints it: the partition letter and the volume name.
std::optional<std::pair<std::string, std::string>> SplitVolumeLabel(const std::optional<std::string>& name) {
  if (!name || name->size() < 3 || (*name)[1] != '/') return std::nullopt;
  return std::make_pair(name->substr(0, 1), name->substr(2));
}

bool NamesOneVolume(const VolumeChoice& choice) {
  const bool partition = !choice.partition.empty() || (!choice.volumeIndex && SplitVolumeLabel(choice.volumeName));
  return partition && choice.volumeName.has_value() != choice.volumeIndex.has_value();
}

VolumeOptions::VolumeOptions(CLI::App& command, std::string& partitionValue) {
  partition = command.add_option("--partition", partitionValue, "Partition letter as listed, or 0-based index");
  name = command.add_option("--volume", nameValue_, "Volume name as listed (case and blanks as you like), or A/NAME");
  index = command.add_option("--volume-index", indexValue_, "0-based position of the volume in its partition");
  name->excludes(index);
}

void VolumeOptions::Apply(std::optional<std::string>& volumeName, std::optional<int>& volumeIndex) const {
  if (name->count() > 0) volumeName = nameValue_;
  if (index->count() > 0) volumeIndex = indexValue_;
}

uint16_t ResolvePartition(OpenedDisc& disc, const std::string& choice) {
  const uint64_t count = static_cast<uint64_t>(disc.reader().partitions().Count());
  uint64_t index = std::numeric_limits<uint64_t>::max();  // no partition, unless the choice names one
  if (AllDigits(choice)) {
    // Leading zeros are fine; a number too large for 64 bits leaves `index` as it is.
    std::from_chars(choice.data(), choice.data() + choice.size(), index);
  } else if (choice.size() == 1) {
    if (choice[0] >= 'A') index = static_cast<unsigned char>(choice[0]) - uint64_t{'A'};
  } else {
    throw CommandError("\"" + choice + "\" is neither a partition letter nor a partition index");
  }
  if (index >= count) {
    throw CommandError("there is no partition \"" + choice + "\": " +
                       PartitionCountText(static_cast<int>(count), disc.unreadable()));
  }
  return static_cast<uint16_t>(index);
}

SelectedVolume SelectVolume(OpenedDisc& disc, const VolumeChoice& typed) {
  VolumeChoice choice = typed;
  if (const auto label = SplitVolumeLabel(choice.volumeName); label && choice.partition.empty()) {
    choice.partition = label->first;
    choice.volumeName = label->second;
  }
  const uint16_t partition = ResolvePartition(disc, choice.partition);
  const std::string letter = PartitionLetter(partition);
  disc.ReadVolumes(partition);
  const ChainedList<AkaiVolume>& volumes = disc.reader().volumes();
  const int volume = FindVolume(volumes, choice, letter);
  return {partition, static_cast<uint16_t>(volume), letter + "/" + volumes.At(volume)->name};
}

int ReportFailures(const std::filesystem::path& image, std::ostream& err, const std::function<int()>& command) {
  const std::optional<char> letter = DriveLetterOf(image);
  const std::string name = letter ? "drive " + std::string(1, *letter) : image.string();
  try {
    return command();
  } catch (const ImageOpenError& error) {
    err << kProgram << ": " << error.what() << "\n";
  } catch (const CodedError& error) {
    // The reader's own failures outside the steps that explain them.
    err << kProgram << ": " << name << ": the disc structure cannot be read: " << error.what() << "\n";
  } catch (const std::exception& error) {
    err << kProgram << ": " << name << ": " << error.what() << "\n";
  }
  return kExitFailure;
}

}  // namespace cli
