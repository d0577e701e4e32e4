#pragma once
// `carvox-cli list IMAGE [--json]`: prints the partitions, volumes, programs and
// samples of a disc image.

#include <filesystem>
#include <ostream>

#include <CLI/CLI.hpp>

namespace cli {

struct ListOptions {
  std::filesystem::path image;
  bool json = false;
  // Each sample's rate, length, root key, loop and tuning; each program's MIDI
  // program number, keygroups and zones (every header is read).
  bool details = false;
};

// Lists the image; errors and warnings go to `err`. Returns the exit status: 0 when
// listed, 2 when listed but something had to be left out, 1 when the image cannot be
// listed.
int RunList(const ListOptions& options, std::ostream& out, std::ostream& err);

// Adds the `list` subcommand to `app`; when it runs, its exit status lands in
// `exitStatus`.
void AddListCommand(CLI::App& app, int& exitStatus);

}  // namespace cli
