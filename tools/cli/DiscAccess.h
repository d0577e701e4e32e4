#pragma once
// What the subcommands share: opening an image as an AKAI disc, choosing a partition
// and volume the way users name them, and explaining the reader's failures in words.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "akai/AkaiVolumeReader.h"
#include "akai/ImageFileSource.h"

namespace cli {

inline constexpr const char* kProgram = "carvox-cli";

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

// Reads sector 0 and applies the signature test. Returns an error text, or "" for an
// AKAI disc.
std::string CheckSignature(ImageFileSource& source);

// A disc image opened through the volume reader, its signature checked and its
// partition table read. Throws ImageOpenError, or CommandError for an image that is
// not an AKAI disc or whose partition table cannot be read.
class OpenedDisc {
 public:
  explicit OpenedDisc(const std::filesystem::path& image);
  AkaiVolumeReader& reader() { return reader_; }
  const ImageFileSource& source() const { return source_; }

 private:
  ImageFileSource source_;
  AkaiVolumeReader reader_;
};

// How the user names a volume: partition letter (as listed, case-sensitive) or 0-based
// index in digits; volume name exactly as listed, or 0-based index.
struct VolumeChoice {
  std::string partition;
  std::optional<std::string> volumeName;
  std::optional<int> volumeIndex;
};

// The options that choose a volume on a subcommand's command line: --partition (added
// by the caller, which decides whether it is required), --volume and --volume-index.
// Lives as long as the command line is parsed and run.
class VolumeOptions {
 public:
  explicit VolumeOptions(CLI::App& command, std::string& partition);
  // What the command line gave, once it is parsed.
  VolumeChoice Choice(const std::string& partition) const;

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

// The reason a load or read failed, for messages: AKAI errors by code, read errors
// with their status (and "the image is truncated" when `endByte`, the end of what was
// being read, lies past the end of the image). Never throws.
std::string FailureReason(const std::exception_ptr& failure, const ImageFileSource& source,
                          uint64_t endByte = 0);

}  // namespace cli
