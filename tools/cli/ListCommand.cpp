#include "tools/cli/ListCommand.h"

#include <memory>

#include "akai/ImageFileSource.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

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
  return ReportFailures(options.image, err, [&] { return ListImage(options, out, err); });
}

void AddListCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* list = app.add_subcommand("list", "List the partitions, volumes, programs and samples of a disc image");
  list->add_option("IMAGE", options->image, "Disc image (raw 2048-byte sectors)")->required();
  list->add_flag("--json", options->json, "Print one JSON object instead of text");
  list->callback([options, &exitStatus] { exitStatus = RunList(*options, std::cout, std::cerr); });
}

}  // namespace cli
