#include "tools/cli/DriveAccess.h"

#include <cstdio>
#include <iostream>

#include "tools/cli/DiscAccess.h"

namespace cli {
namespace {

std::unique_ptr<CDReader> FindDrives() {
  std::unique_ptr<CDReader> reader;
  try {
    reader = std::make_unique<CDReader>();
  } catch (const CDReaderException&) {
    throw CommandError(std::string("cannot load the CD-ROM layer ") + aspi::kLayerName);
  }
  try {
    reader->EnumerateDrives();
  } catch (const std::exception&) {  // a failed read (CodedError), or the drive table's failure
    throw CommandError("cannot find the CD-ROM drives: " + FailureReason(std::current_exception(), kUnknownLength));
  }
  return reader;
}

std::string DriveLettersText(const CDReader& reader) {
  const ChainedList<CDDriveInfo>& drives = reader.drives();
  if (drives.Count() == 0) return "no CD-ROM drives were found";
  std::string text = "the drives are";
  for (int i = 0; i < drives.Count(); ++i) text += std::string(i ? ", " : " ") + drives.At(i)->driveLetter + ":";
  return text;
}

}  // namespace

std::unique_ptr<CDReader> OpenDrive(char letter) {
  std::unique_ptr<CDReader> reader = FindDrives();
  bool found = false;
  for (int i = 0; i < reader->drives().Count(); ++i) found = found || reader->drives().At(i)->driveLetter == letter;
  if (!found) {
    throw CommandError("there is no CD-ROM drive " + std::string(1, letter) + ": (" + DriveLettersText(*reader) + ")");
  }
  reader->SelectDevice(letter);
  try {
    reader->ReadTOC();
  } catch (const CodedError&) {
    if (reader->lastImageFault() == CDReader::ImageFault::kMissing) {
      throw CommandError("cannot read the disc: the disc image of drive " + std::string(1, letter) + ": is missing");
    }
    throw CommandError("cannot read the disc: " + FailureReason(std::current_exception(), kUnknownLength));
  }
  return reader;
}

int RunDrives(std::ostream& out, std::ostream& err) {
  try {
    const std::unique_ptr<CDReader> reader = FindDrives();
    for (int i = 0; i < reader->drives().Count(); ++i) {
      const CDDriveInfo& drive = *reader->drives().At(i);
      char line[64];
      std::snprintf(line, sizeof line, "%c:  %s %s", drive.driveLetter, drive.vendor.c_str(), drive.product.c_str());
      out << line << "\n";
    }
    return kExitSuccess;
  } catch (const CommandError& error) {
    err << kProgram << ": " << error.what() << "\n";
    return kExitFailure;
  }
}

void AddDrivesCommand(CLI::App& app, int& exitStatus) {
  CLI::App* drives = app.add_subcommand("drives", "List the CD-ROM drives and their letters");
  drives->callback([&exitStatus] { exitStatus = RunDrives(std::cout, std::cerr); });
}

}  // namespace cli
