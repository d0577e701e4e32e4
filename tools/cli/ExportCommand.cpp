#include "tools/cli/ExportCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "audio/WavFile.h"
#include "export/SoundBankBuilder.h"
#include "platform/prompt/Prompt.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"
#include "tools/cli/ExportNames.h"
#include "tools/cli/ProgressLine.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// One volume to export and the folder its files go to.
struct VolumeJob {
  uint16_t partition = 0;
  uint16_t volume = 0;
  std::string label;  // "A/NAME"
  fs::path folder;
  std::vector<FileListing> items;
};

// The items of the directory the reader holds. A name listed twice is exported once:
// the reader's lookups find the first entry of a name anyway.
std::vector<FileListing> ExportItems(const AkaiVolumeReader& reader, bool withPrograms) {
  std::vector<FileListing> items;
  std::set<std::pair<bool, std::string>> seen;
  for (const FileListing& file : ListFiles(reader)) {
    const bool program = IsProgram(file.kind);
    if ((program && !withPrograms) || !seen.insert({program, file.name}).second) continue;
    items.push_back(file);
  }
  return items;
}

// The builder's message boxes print on the terminal too: the progress line is taken
// away first, so that both stay readable.
class ClearingPrompt : public platform::Prompt {
 public:
  explicit ClearingPrompt(ProgressLine& progress) : progress_(progress), previous_(platform::InstallPrompt(this)) {}
  ~ClearingPrompt() override { platform::InstallPrompt(previous_); }
  ClearingPrompt(const ClearingPrompt&) = delete;
  ClearingPrompt& operator=(const ClearingPrompt&) = delete;

  int Show(const std::string& text, const std::string& caption, unsigned type) override {
    progress_.Clear();
    return (previous_ ? *previous_ : terminal_).Show(text, caption, type);
  }

 private:
  ProgressLine& progress_;
  platform::Prompt* previous_;  // null: the terminal prompt
  platform::TerminalPrompt terminal_;
};

// Prints the bank builder's status-line warnings as lines on standard error.
class ErrStatusLine : public StatusLine {
 public:
  ErrStatusLine(std::ostream& err, ProgressLine& progress) : err_(err), progress_(progress) {}
  void SetStatusText(const std::string& text) override {
    progress_.Clear();
    err_ << kProgram << ": " << text << "\n";
  }

 private:
  std::ostream& err_;
  ProgressLine& progress_;
};

class ExportRun {
 public:
  ExportRun(const ExportOptions& options, OpenedDisc& disc, std::ostream& out, std::ostream& err)
      : options_(options), disc_(disc), out_(out), err_(err) {}

  int Run();

 private:
  // What a failure leaves out of the run, counted apart for the summary.
  enum class Failed { Item, Volume, Partition };

  std::vector<VolumeJob> PlanOneVolume();
  std::vector<VolumeJob> PlanAllVolumes();
  void PlanPartition(uint16_t partition, std::vector<VolumeJob>& jobs);
  void ReadItems(VolumeJob& job);
  void PrepareOutputFolder() const;
  void ExportVolume(const VolumeJob& job, ProgressLine& progress);
  void ExportSample(const VolumeJob& job, const FileListing& item);
  void ExportProgram(const VolumeJob& job, const FileListing& item, ProgressLine& progress);
  void Fail(Failed what, const std::string& text);
  void Wrote(const fs::path& path);
  void PrintSummary();

  const ExportOptions& options_;
  OpenedDisc& disc_;
  std::ostream& out_;
  std::ostream& err_;
  ProgressLine* progress_ = nullptr;
  std::unique_ptr<ErrStatusLine> statusLine_;
  std::unique_ptr<SoundBankBuilder> builder_;
  int samples_ = 0;
  int banks_ = 0;
  int volumes_ = 0;  // whose folder was made
  int failedItems_ = 0;
  int failedVolumes_ = 0;
  int failedPartitions_ = 0;
};

// "1 sample", "2 banks".
std::string Count(int count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

int ExportRun::Run() {
  // A volume that cannot be found leaves no folder behind; with --all the folder is
  // checked before the disc's own failures are reported one by one.
  std::vector<VolumeJob> jobs = options_.all ? std::vector<VolumeJob>() : PlanOneVolume();
  PrepareOutputFolder();
  if (options_.all) jobs = PlanAllVolumes();
  int total = 0;
  for (const VolumeJob& job : jobs) total += static_cast<int>(job.items.size());
  ProgressLine progress(err_, options_.progress, total);
  ClearingPrompt prompt(progress);
  progress_ = &progress;
  for (const VolumeJob& job : jobs) ExportVolume(job, progress);
  progress.Clear();
  progress_ = nullptr;
  PrintSummary();
  return failedItems_ + failedVolumes_ + failedPartitions_ > 0 ? kExitPartialFailure : kExitSuccess;
}

void ExportRun::PrintSummary() {
  out_ << "Exported " << Count(samples_, "sample") << " and " << Count(banks_, "bank") << " from "
       << Count(volumes_, "volume") << " into " << options_.outputDir.string();
  std::vector<std::string> failed;
  if (failedItems_ > 0) failed.push_back(Count(failedItems_, "item"));
  if (failedVolumes_ > 0) failed.push_back(Count(failedVolumes_, "volume"));
  if (failedPartitions_ > 0) failed.push_back(Count(failedPartitions_, "partition"));
  for (size_t i = 0; i < failed.size(); ++i) {
    out_ << (i == 0 ? "; " : i + 1 == failed.size() ? " and " : ", ") << failed[i];
  }
  out_ << (failed.empty() ? ".\n" : " failed.\n");
}

std::vector<VolumeJob> ExportRun::PlanOneVolume() {
  const SelectedVolume selected =
      SelectVolume(disc_, {options_.partition, options_.volumeName, options_.volumeIndex});
  VolumeJob job{selected.partition, selected.volume, selected.label, options_.outputDir, {}};
  ReadItems(job);
  return {job};
}

// Every partition of the table that cannot be read is reported, then the readable
// ones are planned.
std::vector<VolumeJob> ExportRun::PlanAllVolumes() {
  for (const UnreadablePartition& partition : disc_.unreadable()) {
    Fail(Failed::Partition,
         DescribeUnreadable(partition) + " cannot be read: " + UnreadableReason(partition, disc_.imageBytes()));
  }
  std::vector<VolumeJob> jobs;
  const int partitions = disc_.reader().partitions().Count();
  for (int p = 0; p < partitions; ++p) PlanPartition(static_cast<uint16_t>(p), jobs);
  return jobs;
}

// Adds a job per readable volume of the partition; what cannot be read is reported
// and counted as failed, and the rest of the disc is still exported.
void ExportRun::PlanPartition(uint16_t partition, std::vector<VolumeJob>& jobs) {
  AkaiVolumeReader& reader = disc_.reader();
  try {
    disc_.ReadVolumes(partition);
  } catch (const CommandError& error) {
    Fail(Failed::Partition, error.what());
    return;
  }
  std::vector<std::string> names;
  for (int v = 0; v < reader.volumes().Count(); ++v) names.push_back(reader.volumes().At(v)->name);
  const std::vector<std::string> folders = VolumeFolderNames(names);
  const fs::path partitionFolder = options_.outputDir / PartitionFolderName(partition);
  const std::string letter = PartitionLetter(partition);
  for (size_t v = 0; v < names.size(); ++v) {
    VolumeJob job{partition, static_cast<uint16_t>(v), letter + "/" + names[v], partitionFolder / folders[v], {}};
    try {
      ReadItems(job);
    } catch (const CommandError& error) {
      Fail(Failed::Volume, error.what());
      continue;
    }
    jobs.push_back(std::move(job));
  }
}

// Reads the job's directory and lists its items. Throws CommandError.
void ExportRun::ReadItems(VolumeJob& job) {
  disc_.ReadFiles(job.partition, job.volume);
  job.items = ExportItems(disc_.reader(), !options_.noSf2);
}

// Makes the output folder and checks that files can be made in it, so that a folder
// that cannot be used fails the run once, not once per item. Throws CommandError.
void ExportRun::PrepareOutputFolder() const {
  const fs::path& folder = options_.outputDir;
  const std::string failure = "cannot use the output folder " + folder.string() + ": ";
  std::error_code error;
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    throw CommandError(failure + "it is a file, not a folder");
  }
  fs::create_directories(folder, error);
  if (error) throw CommandError(failure + "it cannot be created (" + error.message() + ")");
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw CommandError(failure + "it cannot be written (" + std::strerror(errno) + ")");
  }
}

void ExportRun::ExportVolume(const VolumeJob& job, ProgressLine& progress) {
  std::error_code error;
  fs::create_directories(job.folder, error);
  if (error) {
    Fail(Failed::Volume, "volume " + job.label + ": cannot create the folder " + job.folder.string() + ": " +
                             error.message());
    return;
  }
  ++volumes_;
  for (const FileListing& item : job.items) {
    progress.Item(job.label + "/" + item.name);
    if (IsProgram(item.kind)) {
      ExportProgram(job, item, progress);
    } else {
      ExportSample(job, item);
    }
  }
}

void ExportRun::ExportSample(const VolumeJob& job, const FileListing& item) {
  AkaiVolumeReader& reader = disc_.reader();
  const fs::path path = job.folder / (ExportBaseName(item.name) + ".wav");
  try {
    reader.LoadSample(job.partition, job.volume, item.name.c_str(), true);
    if (!WriteWavFile(reader.sample(), path, options_.normalize)) {
      Fail(Failed::Item, job.label + "/" + item.name + ": could not write " + path.string());
      return;
    }
  } catch (...) {
    const uint16_t start = disc_.reader().partitions().At(job.partition)->startBlock;
    Fail(Failed::Item, job.label + "/" + item.name + ": cannot load the sample: " +
                           FailureReason(std::current_exception(), disc_.imageBytes(),
                                         FilePlace(start, item.start, item.size, "its directory entry")));
    return;
  }
  ++samples_;
  Wrote(path);
}

void ExportRun::ExportProgram(const VolumeJob& job, const FileListing& item, ProgressLine& progress) {
  if (!builder_) {
    statusLine_ = std::make_unique<ErrStatusLine>(err_, progress);
    builder_ = std::make_unique<SoundBankBuilder>(statusLine_.get());
    builder_->LoadEngine(options_.engineLibrary);
  }
  const fs::path path = job.folder / (ExportBaseName(item.name) + ".sf2");
  if (builder_->BuildSoundBank(disc_.reader(), job.partition, job.volume, item.name.c_str(), path, &progress) != 1) {
    Fail(Failed::Item, job.label + "/" + item.name + ": the bank was not written (see above)");
    return;
  }
  ++banks_;
  Wrote(path);
}

void ExportRun::Fail(Failed what, const std::string& text) {
  if (progress_) progress_->Clear();
  err_ << kProgram << ": " << options_.image.string() << ": " << text << "\n";
  ++(what == Failed::Item ? failedItems_ : what == Failed::Volume ? failedVolumes_ : failedPartitions_);
}

void ExportRun::Wrote(const fs::path& path) {
  progress_->Clear();
  out_ << "wrote " << path.string() << "\n";
}

std::string CheckOptions(const ExportOptions& options) {
  if (options.outputDir.empty()) return "give the output folder with -o DIR";
  if (options.all) {
    if (!options.partition.empty() || options.volumeName || options.volumeIndex) {
      return "--all exports every volume: leave out --partition, --volume and --volume-index";
    }
    return "";
  }
  if (!NamesOneVolume({options.partition, options.volumeName, options.volumeIndex})) {
    return "give --partition P with either --volume NAME or --volume-index N, or --all";
  }
  return "";
}

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  if (const std::string problem = CheckOptions(options); !problem.empty()) {
    err << kProgram << ": export: " << problem << "\n";
    return kExitFailure;
  }
  return ReportFailures(options.image, err, [&] {
    OpenedDisc disc(options.image);
    return ExportRun(options, disc, out, err).Run();
  });
}

void AddExportCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Write a volume's samples as WAV files and its programs as SoundFont banks");
  command->add_option("IMAGE", options->image, "Disc image: 2048-byte or raw 2352-byte sectors (.iso, .img, .bin) or a .cue sheet")->required();
  command->add_option("-o,--output", options->outputDir, "Folder to write into (created when missing)")->required();
  auto volume = std::make_shared<VolumeOptions>(*command, options->partition);
  command->add_flag("--all", options->all, "Every volume of every partition, one folder each")
      ->excludes(volume->partition)
      ->excludes(volume->name)
      ->excludes(volume->index);
  command->add_flag("--normalize", options->normalize, "Peak-normalize the WAV files");
  command->add_flag("--no-sf2", options->noSf2, "Write no SoundFont banks for the programs");
  command->callback([options, volume, &exitStatus] {
    volume->Apply(options->volumeName, options->volumeIndex);
    options->progress = isatty(STDERR_FILENO) != 0;
    exitStatus = RunExport(*options, std::cout, std::cerr);
  });
}

}  // namespace cli
