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

// What a sample's header says (list --details).
struct SampleDetails {
  uint32_t rate = 0;    // Hz
  uint32_t frames = 0;  // the words its WAV file holds
  int rootKey = 0;      // MIDI note number
  int tuningCents = 0;
  int channels = 1;     // AKAI samples are mono; stereo is two samples
  struct Loop {
    uint32_t start = 0;
    uint32_t end = 0;  // inclusive
    std::string mode;  // "hold" (loops until release) or "timed"
  };
  std::optional<Loop> loop;  // the play loop, when it lies inside the sample
};

// What a program's header says (list --details).
struct ProgramDetails {
  int midiProgram = 0;
  int keygroups = 0;  // those decoded
  int zones = 0;      // used velocity zones
};

struct FileListing {
  std::string name;
  AkaiFileKind kind = S1000Sample;
  uint32_t size = 0;   // bytes
  uint16_t start = 0;  // first block, relative to the partition
  std::optional<SampleDetails> sample;    // with details, for a sample
  std::optional<ProgramDetails> program;  // with details, for a program
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
  // The volume lists and directories that could not be read, each worded as a
  // CommandError names it; what they hold is left out of the listing.
  std::vector<std::string> failures;

  bool Complete() const { return unreadable.empty() && failures.empty(); }
};

// The kind as the JSON listing names it ("S1000Program", ...).
const char* KindName(AkaiFileKind kind);

// The programs and samples of the directory the reader holds (after ReadFiles).
std::vector<FileListing> ListFiles(const AkaiVolumeReader& reader);

// The first entry named `name` (as listed) of a program (`program`) or a sample, or null.
const FileListing* FindItem(const std::vector<FileListing>& files, const std::string& name, bool program);

// The listed name of the item that `typed` names (MatchTypedName) among the programs
// and samples of `files` (samples only with `samplesOnly`). Throws CommandError naming
// the closest names of volume `volumeLabel` when none matches.
std::string ListedItemName(const std::vector<FileListing>& files, const std::string& typed, bool samplesOnly,
                           const std::string& volumeLabel);

// Reads the whole structure of the opened disc; a volume list or directory that cannot
// be read is left out and noted in `failures`. Throws CommandError when the partition
// table cannot be read.
// With `details` every program and sample header is read as well; one that cannot be
// read is noted in `failures` and listed without details.
DiscListing ListDisc(OpenedDisc& disc, bool details = false);
// The same for a reader over any source (its partition table is read first); reads
// past the end of the disc cannot be told from other read errors there.
DiscListing ListDisc(AkaiVolumeReader& reader);

// {["label",] "partitions": [{"letter", "start", "size", "volumes": [{"name", "files":
// [{"name", "kind", "size", "start"}]}]}]}; with details a sample adds "rate", "frames",
// "rootKey", "loop" ({"start", "end", "mode"} or null), "tuning", "channels", a program
// "midiProgram", "keygroups", "zones".
nlohmann::ordered_json ToJson(const DiscListing& listing);
void PrintListing(const DiscListing& listing, std::ostream& out);

}  // namespace cli
