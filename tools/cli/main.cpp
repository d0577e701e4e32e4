// carvox-cli: reads AKAI S1000/S3000 discs (images or drives) from the command line.
#include <CLI/CLI.hpp>
#include <string>

#include "platform/program/ProgramInfo.h"

#include "tools/cli/DriveAccess.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/ListCommand.h"
#include "tools/cli/PlayCommand.h"
#include "tools/cli/ShowCommand.h"

int main(int argc, char** argv) {
  CLI::App app{"Reads AKAI S1000/S3000 discs: disc images, or CD-ROM drives by letter (D:)", "carvox-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("carvox-cli ") + platform::kCarvoxVersion);
  int exitStatus = 0;
  cli::AddListCommand(app, exitStatus);
  cli::AddShowCommand(app, exitStatus);
  cli::AddExportCommand(app, exitStatus);
  cli::AddDrivesCommand(app, exitStatus);
  cli::AddPlayCommands(app, exitStatus);
  CLI11_PARSE(app, argc, argv);
  return exitStatus;
}
