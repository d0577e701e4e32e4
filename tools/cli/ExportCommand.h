#pragma once
// `carvox-cli export IMAGE -o DIR --partition P (--volume NAME | --volume-index N)
// [--format sf2,sfz,dspreset] [--normalize] [--no-sf2] [--join-stereo]`, or `--all` instead of
// partition and volume: writes the samples of a volume (or of every volume) as WAV files
// and its programs as SoundFont 2 banks and presets of the other formats chosen.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "platform/sfengine/EngineApi.h"

namespace cli {

struct ExportOptions {
  std::filesystem::path image{};
  std::filesystem::path outputDir{};
  std::string partition{};  // letter or 0-based index; empty: not given
  std::optional<std::string> volumeName{};
  std::optional<int> volumeIndex{};
  bool all = false;
  bool normalize = false;
  bool noSf2 = false;
  // Comma list of what programs become: "sf2", "sfz", "dspreset".
  std::string formats = "sf2";
  // Only these programs and samples of the chosen volume (a program brings the
  // samples it plays); empty: all of them. With `all`: further images, each exported
  // into a folder of its own below outputDir.
  std::vector<std::string> names{};
  // "-L"/"-R" sample pairs of equal length and rate become one stereo WAV file.
  bool joinStereo = false;
  // Keep files that are already there (each is reported) instead of replacing them.
  bool noClobber = false;
  // Draw a progress line on `err` (the program does so when it is a terminal).
  bool progress = false;
  // The SoundFont engine: a Windows name or a host path.
  std::string engineLibrary = kEngineLibraryName;
};

// Exports as the options say. Prints one line per file written and a summary on `out`;
// errors, failed items and the bank builder's warnings on `err` (its message boxes go
// through the installed prompt). Returns the exit status: 0 when everything was
// written, 1 when nothing could be exported (bad options, an image that cannot be
// read, no such partition or volume, an output folder that cannot be made or written),
// 2 when the run went through but some item, volume or partition failed.
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

// Adds the `export` subcommand to `app`; its exit status lands in `exitStatus`.
void AddExportCommand(CLI::App& app, int& exitStatus);

}  // namespace cli
