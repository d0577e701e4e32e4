#include "tools/cli/ListCommand.h"

#include <memory>

#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

void WarnUnreadable(const DiscListing& listing, const ListOptions& options, std::ostream& err) {
  for (const UnreadablePartition& partition : listing.unreadable) {
    err << kProgram << ": warning: " << options.image.string() << ": " << DescribeUnreadable(partition)
        << " cannot be read and is left out\n";
  }
  for (const std::string& failure : listing.failures) err << kProgram << ": " << options.image.string() << ": " << failure << "\n";
}

int ListImage(const ListOptions& options, std::ostream& out, std::ostream& err) {
  OpenedDisc disc(options.image);
  const DiscListing listing = ListDisc(disc, options.details);
  WarnUnreadable(listing, options, err);
  if (options.json) {
    out << ToJson(listing).dump(1) << "\n";
  } else {
    PrintListing(listing, out);
  }
  // A listing that had to leave something out is a partial failure, as in the export.
  return listing.Complete() ? kExitSuccess : kExitPartialFailure;
}

}  // namespace

int RunList(const ListOptions& options, std::ostream& out, std::ostream& err) {
  return ReportFailures(options.image, err, [&] { return ListImage(options, out, err); });
}

void AddListCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* list = app.add_subcommand("list", "List the partitions, volumes, programs and samples of a disc image");
  list->add_option("IMAGE", options->image, kDiscHelp)->required();
  list->add_flag("--json", options->json, "Print one JSON object instead of text");
  list->add_flag("--details", options->details,
                 "Add each sample's rate, length, root key, loop and tuning, and each program's MIDI program, "
                 "keygroups and zones");
  list->callback([options, &exitStatus] { exitStatus = RunList(*options, std::cout, std::cerr); });
}

}  // namespace cli
