#include "tools/cli/ListCommand.h"

#include <memory>

#include "akai/DiscSignature.h"
#include "akai/ImageFileSource.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

constexpr const char* kProgram = "carvox-cli";

// Explains a read that failed: on an image, a block past its end means the image was
// cut short.
std::string ReadFailureText(const ListingError& error, const ImageFileSource& source) {
  const uint64_t endOfBlock = (uint64_t{error.block()} + 1) * AkaiVolumeReader::kBlockSize;
  if (endOfBlock > source.sizeBytes()) {
    return std::string(error.what()) + ": the image is truncated (it ends at byte " +
           std::to_string(source.sizeBytes()) + ", before the end of that block)";
  }
  return error.what();
}

// Reads sector 0 and applies the signature test. Returns an error text, or "" for an
// AKAI disc.
std::string CheckSignature(ImageFileSource& source) {
  uint8_t sector[SectorSource::kSectorSize];
  try {
    source.ReadSectors(0, sector, 1);
  } catch (const CDReaderException&) {
    return "not an AKAI disc image: it is too short to hold a first sector (" + std::to_string(source.sizeBytes()) +
           " bytes)";
  }
  if (!HasAkaiSignature(sector, sizeof sector)) {
    return "not an AKAI S1000/S3000 disc image (the disc signature in its first sector does not match)";
  }
  return "";
}

void WarnUnreadable(const DiscListing& listing, const ListOptions& options, std::ostream& err) {
  for (const UnreadablePartition& partition : listing.unreadable) {
    err << kProgram << ": warning: " << options.image.string() << ": partition " << partition.tableIndex + 1
        << " of the partition table (start block " << partition.start << ", " << partition.size
        << " blocks) cannot be read and is left out\n";
  }
}

int ListImage(const ListOptions& options, std::ostream& out, std::ostream& err) {
  const std::string file = options.image.string();
  ImageFileSource source(options.image);
  if (const std::string problem = CheckSignature(source); !problem.empty()) {
    err << kProgram << ": " << file << ": " << problem << "\n";
    return 1;
  }
  AkaiVolumeReader reader(source);
  DiscListing listing;
  try {
    listing = ListDisc(reader);
  } catch (const ListingError& error) {
    err << kProgram << ": " << file << ": " << (error.readFailed() ? ReadFailureText(error, source) : error.what())
        << "\n";
    return 1;
  }
  WarnUnreadable(listing, options, err);
  if (options.json) {
    out << ToJson(listing).dump(1) << "\n";
  } else {
    PrintListing(listing, out);
  }
  return 0;
}

}  // namespace

int RunList(const ListOptions& options, std::ostream& out, std::ostream& err) {
  try {
    return ListImage(options, out, err);
  } catch (const ImageOpenError& error) {
    err << kProgram << ": " << error.what() << "\n";
  } catch (const std::exception& error) {
    err << kProgram << ": " << options.image.string() << ": " << error.what() << "\n";
  } catch (...) {
    // The reader's own exception types outside the listing's steps.
    err << kProgram << ": " << options.image.string() << ": the disc structure cannot be read\n";
  }
  return 1;
}

void AddListCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* list = app.add_subcommand("list", "List the partitions, volumes, programs and samples of a disc image");
  list->add_option("IMAGE", options->image, "Disc image (raw 2048-byte sectors)")->required();
  list->add_flag("--json", options->json, "Print one JSON object instead of text");
  list->callback([options, &exitStatus] { exitStatus = RunList(*options, std::cout, std::cerr); });
}

}  // namespace cli
