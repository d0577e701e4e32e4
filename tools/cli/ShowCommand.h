#pragma once
// `carvox-cli show IMAGE --partition P (--volume NAME | --volume-index N) PROGRAM`:
// prints a program's keygroups and velocity zones, each zone with its sample's rate,
// root key and play loop, and the tuning a SoundFont bank gives the zone; or, for a
// sample, its rate, length, root key (number and note name), tuning and loops.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace cli {

struct ShowOptions {
  std::filesystem::path image{};
  std::string partition{};
  std::optional<std::string> volumeName{};
  std::optional<int> volumeIndex{};
  std::string program{};  // a program's or sample's name, exactly as listed
};

// Prints the program on `out`, errors on `err`. Returns 0 when shown, 1 when the
// program cannot be shown (bad options, image, partition, volume or program), 2 when it
// was shown but a zone's sample could not be loaded.
int RunShow(const ShowOptions& options, std::ostream& out, std::ostream& err);

void AddShowCommand(CLI::App& app, int& exitStatus);

}  // namespace cli
