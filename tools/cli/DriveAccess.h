#pragma once
// CD-ROM drives on the command line: opening the disc in a drive named by its letter,
// and `carvox-cli drives`, which lists the drives the ASPI layer offers.

#include <memory>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cdrom/CDReader.h"

namespace cli {

// A reader with the drive `letter` selected and its TOC read (the probe that a disc is
// in it). Throws CommandError naming what failed.
std::unique_ptr<CDReader> OpenDrive(char letter);

// Prints one line per drive, "%c:  %s %s" (letter, vendor, product). Returns the exit
// status: 1 when the drives cannot be found.
int RunDrives(std::ostream& out, std::ostream& err);
void AddDrivesCommand(CLI::App& app, int& exitStatus);

}  // namespace cli
