#pragma once
// `carvox-cli play IMAGE --partition P (--volume NAME | --volume-index N) SAMPLE
// [--loop] [--seconds N] [--driver DESC | --to FILE.wav]`: plays a sample once (until
// it ends) or looped (for N seconds, 5 by default), through a sound driver or into a
// WAV file; Ctrl-C stops it. `carvox-cli drivers` lists the sound drivers.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace cli {

struct PlayOptions {
  std::filesystem::path image{};
  std::string partition{};
  std::optional<std::string> volumeName{};
  std::optional<int> volumeIndex{};
  std::string sample{};  // exactly as listed
  bool loop = false;
  double seconds = 5;  // of looped play: of sound, or exactly of file when writing one
  std::optional<std::string> driver{};      // description, exactly as listed
  std::optional<std::filesystem::path> to{};  // a WAV file instead of a driver
};

// Returns 0 when the sample was played, 1 when it could not be (bad options, image,
// volume, sample or driver; a sound output that failed; a file that could not be
// written, which is then deleted if this run created it).
int RunPlay(const PlayOptions& options, std::ostream& out, std::ostream& err);
// Lists each driver's GUID (or that it has none) and description.
int RunDrivers(std::ostream& out);

void AddPlayCommands(CLI::App& app, int& exitStatus);

}  // namespace cli
