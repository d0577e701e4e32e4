// carvox-vdrive: mounts disc images as virtual CD-ROM drives of the machine, unmounts
// them, and lists every drive the ASPI layer offers.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "platform/aspi/AspiLayer.h"
#include "platform/aspi/DriveTable.h"
#include "platform/program/ProgramInfo.h"
#include "platform/registry/Registry.h"

namespace {

constexpr const char* kProgram = "carvox-vdrive";

// "E", "e" or "E:"; 0 for an empty text.
char ParseLetter(const std::string& text) {
  if (text.empty()) return 0;
  if (text.size() > 2 || (text.size() == 2 && text[1] != ':')) {
    throw aspi::DriveTableError("\"" + text + "\" is not a drive letter");
  }
  return text[0];
}

void List(std::ostream& out) {
  const aspi::DriveTable table = aspi::ReadDriveTable();
  aspi::Layer layer;
  layer.SupportInfo();
  const aspi::Layer::Listing listing = layer.Describe();
  for (const aspi::PublishedDrive& drive : listing.drives) {
    char line[96];
    std::snprintf(line, sizeof line, "%c:  %s %s %s", drive.letter ? drive.letter : '?', drive.vendor.c_str(),
                  drive.product.c_str(), drive.revision.c_str());
    out << line;
    for (const aspi::VirtualDrive& entry : table.drives) {
      if (drive.adapter == aspi::kVirtualAdapter && entry.target == drive.target) out << "  " << entry.image;
    }
    out << "\n";
  }
  for (const std::string& problem : listing.problems) out << "left out: " << problem << "\n";
}

int Run(int argc, char** argv) {
  CLI::App app{"Mounts disc images as virtual CD-ROM drives", kProgram};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string(kProgram) + " " + platform::kCarvoxVersion);
  std::string image;
  std::string letter;
  CLI::App* mount = app.add_subcommand("mount", "Mount a disc image; prints the drive letter");
  mount->add_option("IMAGE", image, "Disc image: 2048-byte or raw 2352-byte sectors, or a .cue sheet")->required();
  mount->add_option("LETTER", letter, "Drive letter (default: the first free one from D:)");
  CLI::App* unmount = app.add_subcommand("unmount", "Remove a virtual drive");
  unmount->add_option("LETTER", letter, "Drive letter")->required();
  CLI::App* list = app.add_subcommand("list", "List the drives and what was left out");
  CLI11_PARSE(app, argc, argv);
  try {
    if (mount->parsed()) std::cout << aspi::MountImage(image, ParseLetter(letter)) << ":\n";
    if (unmount->parsed()) aspi::UnmountDrive(ParseLetter(letter));
    if (list->parsed()) List(std::cout);
  } catch (const aspi::DriveTableError& error) {
    std::cerr << kProgram << ": " << error.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return platform::RunReportingHiveErrors([&] { return Run(argc, argv); }, kProgram);
}
