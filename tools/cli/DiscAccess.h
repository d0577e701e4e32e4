#pragma once
// What the subcommands share: opening an image as an AKAI disc, reading its partition
// table, volume lists and directories, choosing a partition and volume the way users
// name them, and explaining the reader's failures in words (one wording per fault).

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "akai/AkaiDisc.h"
#include "akai/AkaiRecords.h"
#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"
#include "common/CodedError.h"

namespace cli {

inline constexpr const char* kProgram = "carvox-cli";
// What the subcommands say of their IMAGE argument.
inline constexpr const char* kDiscHelp =
    "Disc image: 2048-byte or raw 2352-byte sectors (.iso, .img, .bin), a .cue sheet, or a drive letter (D:)";

// Exit statuses of the subcommands.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,         // the command could not do its work at all
  kExitPartialFailure = 2,  // it went through, but some items failed
};

// A command that cannot go on; the text says why and names what was asked for.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The length of the disc behind a reader whose source is not an image file: reads past
// the end cannot be told from other read errors.
inline constexpr uint64_t kUnknownLength = std::numeric_limits<uint64_t>::max();

// 'A' + position in the list of readable partitions, running on past 'Z'.
std::string PartitionLetter(int index);

bool IsProgram(AkaiFileKind kind);
// "S1000 program", "S3000 sample", ...
std::string KindText(AkaiFileKind kind);

// Where a read was aimed, to explain one that failed.
struct ReadPlace {
  uint64_t firstBlock = 0;  // absolute block
  uint64_t endByte = 0;     // the byte after the last one wanted
  // What gave the place ("the directory entry"); empty for a place every disc has
  // (the partition table), so that a read past the end proves the image cut short.
  std::string namedBy;
};

// The place of a file of `length` bytes starting at `fileStart` of a partition.
ReadPlace FilePlace(uint16_t partitionStart, uint16_t fileStart, uint32_t length, const std::string& namedBy);

// The reason a load or read failed, for messages: AKAI errors by code, read errors with
// their status, or, when `place` reaches past the end of the image, that it does.
// Never throws.
std::string FailureReason(const std::exception_ptr& failure, uint64_t imageBytes,
                          const std::optional<ReadPlace>& place = std::nullopt);

// A partition the table names whose first block could not be read.
using UnreadablePartition = SkippedPartition;

// "partition 3 of the partition table (start block 150, 200 blocks)"
std::string DescribeUnreadable(const UnreadablePartition& partition);
// Why it cannot be read, in the words FailureReason uses.
std::string UnreadableReason(const UnreadablePartition& partition, uint64_t imageBytes);

// The structure reads of the reader, their failures thrown as CommandError naming
// what was being read and why it failed.
// Reads the partition table; returns the partitions it names that were left out.
const std::vector<UnreadablePartition>& ReadPartitionTable(AkaiVolumeReader& reader, uint64_t imageBytes);
// "partition A: cannot read its volume list: ..."
void ReadVolumeList(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t partition);
// "volume A/NAME: cannot read its directory: ..." (the partition's volume list is read
// first when the reader does not hold it).
void ReadDirectory(AkaiVolumeReader& reader, uint64_t imageBytes, uint16_t partition, uint16_t volume);

// The drive letter that `disc` names ("D:", either case), or nothing for a file (a
// file named "D:" is given as "./D:").
std::optional<char> DriveLetterOf(const std::filesystem::path& disc);

// A disc opened through the volume reader, its signature checked and its partition
// table read: a disc image file, or the disc in a CD-ROM drive named by its letter.
// Throws ImageOpenError, or CommandError for a drive that cannot be read, a disc that
// is not an AKAI disc or whose partition table cannot be read.
class OpenedDisc {
 public:
  explicit OpenedDisc(const std::filesystem::path& disc);
  AkaiVolumeReader& reader() { return disc_->reader(); }
  // The image's length; kUnknownLength for a drive.
  uint64_t imageBytes() const { return imageBytes_; }
  // The partitions of the table that the reader left out, in table order.
  const std::vector<UnreadablePartition>& unreadable() const { return disc_->skipped(); }

  void ReadVolumes(uint16_t partition) { ReadVolumeList(reader(), imageBytes(), partition); }
  void ReadFiles(uint16_t partition, uint16_t volume) { ReadDirectory(reader(), imageBytes(), partition, volume); }

 private:
  std::unique_ptr<SectorSource> source_;
  uint64_t imageBytes_ = kUnknownLength;
  std::unique_ptr<AkaiDisc> disc_;
};

// How the user names a volume: partition letter (as listed, case-sensitive) or 0-based
// index in digits; volume name as listed (or as people type it: MatchTypedName), or
// 0-based index. Without a partition, a name "A/NAME" (as `list` prints volumes)
// names both.
struct VolumeChoice {
  std::string partition;
  std::optional<std::string> volumeName;
  std::optional<int> volumeIndex;
};

// Whether the choice names one volume: a partition (or a name "A/NAME") and either a
// name or an index.
bool NamesOneVolume(const VolumeChoice& choice);

// The options that choose a volume on a subcommand's command line: --partition (added
// by the caller, which decides whether it is required), --volume and --volume-index.
// Lives as long as the command line is parsed and run.
class VolumeOptions {
 public:
  explicit VolumeOptions(CLI::App& command, std::string& partition);
  // Copies what the command line gave for --volume and --volume-index, once parsed.
  void Apply(std::optional<std::string>& volumeName, std::optional<int>& volumeIndex) const;

  CLI::Option* partition = nullptr;
  CLI::Option* name = nullptr;
  CLI::Option* index = nullptr;

 private:
  std::string nameValue_;
  int indexValue_ = 0;
};

struct SelectedVolume {
  uint16_t partition = 0;
  uint16_t volume = 0;
  std::string label;  // "A/NAME", as the listing shows it
};

// The partition index that `choice` names. Throws CommandError.
uint16_t ResolvePartition(OpenedDisc& disc, const std::string& choice);
// Reads the chosen partition's volume list and finds the volume. Throws CommandError.
SelectedVolume SelectVolume(OpenedDisc& disc, const VolumeChoice& choice);

// Runs `command` and turns whatever escapes it into one error line on `err` naming
// `image`. Returns the command's status, or kExitFailure when it threw.
int ReportFailures(const std::filesystem::path& image, std::ostream& err, const std::function<int()>& command);

}  // namespace cli
