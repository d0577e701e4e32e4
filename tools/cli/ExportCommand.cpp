#include "tools/cli/ExportCommand.h"

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "export/ExportBatch.h"
#include "export/SoundBankBuilder.h"
#include "platform/prompt/Prompt.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/ProgressLine.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

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

// The image's structure reads, their failures worded as the other subcommands word them.
class ImageDisc : public ExportDisc {
 public:
  explicit ImageDisc(OpenedDisc& disc) : ExportDisc(disc.reader()), disc_(disc) {}
  void ReadVolumes(uint16_t partition) override { disc_.ReadVolumes(partition); }
  void ReadFiles(uint16_t partition, uint16_t volume) override { disc_.ReadFiles(partition, volume); }
  std::vector<std::string> UnreadablePartitions() const override {
    std::vector<std::string> failures;
    for (const UnreadablePartition& partition : disc_.unreadable()) {
      failures.push_back(DescribeUnreadable(partition) +
                         " cannot be read: " + UnreadableReason(partition, disc_.imageBytes()));
    }
    return failures;
  }

 private:
  OpenedDisc& disc_;
};

// Runs the export batch and reports on the terminal: a line per file written, a line
// per failure, the progress line and the summary.
class ExportRun : public ExportReport {
 public:
  ExportRun(const ExportOptions& options, OpenedDisc& disc, std::ostream& out, std::ostream& err)
      : options_(options), disc_(disc), imageDisc_(disc), out_(out), err_(err) {}

  int Run();

  SoundBankBuilder& BankBuilder() override;
  void ItemStarted(const ExportVolume& volume, const ExportItem& item) override {
    progress_->Item(volume.label + "/" + item.name);
  }
  ProgressBar* BankStarting(const ExportVolume&, const ExportItem&) override { return progress_; }
  void Wrote(const fs::path& path) override;
  void SampleNotLoaded(const ExportVolume& volume, const ExportItem& item, const std::exception_ptr& failure) override;
  void NotWritten(const ExportVolume& volume, const ExportItem& item, const fs::path& path) override;
  void Failed(ExportLoss, const std::string& text) override { Print(text); }
  void NotJoined(const ExportVolume& volume, const StereoPair& pair, const std::string& why) override;

 private:
  ExportVolume PlanOneVolume(ExportBatch& batch);
  void Print(const std::string& failure);
  void PrintSummary(const ExportCounts& counts);

  const ExportOptions& options_;
  OpenedDisc& disc_;
  ImageDisc imageDisc_;
  std::ostream& out_;
  std::ostream& err_;
  ProgressLine* progress_ = nullptr;
  std::unique_ptr<ErrStatusLine> statusLine_;
  std::unique_ptr<SoundBankBuilder> builder_;
};

// "1 sample", "2 banks".
std::string Count(int count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

int ExportRun::Run() {
  ExportBatch batch(imageDisc_, *this,
                    {.normalize = options_.normalize, .withPrograms = !options_.noSf2, .joinStereo = options_.joinStereo});
  // A volume that cannot be found leaves no folder behind; with --all the folder is
  // checked before the disc's own failures are reported one by one.
  std::vector<ExportVolume> volumes;
  if (!options_.all) volumes.push_back(PlanOneVolume(batch));
  PrepareOutputFolder(options_.outputDir);
  if (options_.all) volumes = batch.PlanAllVolumes(options_.outputDir);
  ProgressLine progress(err_, options_.progress, ItemCount(volumes));
  ClearingPrompt prompt(progress);
  progress_ = &progress;
  batch.Export(volumes);
  progress.Clear();
  progress_ = nullptr;
  PrintSummary(batch.counts());
  return batch.counts().AnyFailed() ? kExitPartialFailure : kExitSuccess;
}

ExportVolume ExportRun::PlanOneVolume(ExportBatch& batch) {
  const SelectedVolume selected =
      SelectVolume(disc_, {options_.partition, options_.volumeName, options_.volumeIndex});
  return batch.PlanVolume(selected.partition, selected.volume, selected.label, options_.outputDir);
}

void ExportRun::PrintSummary(const ExportCounts& counts) {
  out_ << "Exported " << Count(counts.samples, "sample") << " and " << Count(counts.banks, "bank") << " from "
       << Count(counts.volumes, "volume") << " into " << options_.outputDir.string();
  std::vector<std::string> failed;
  if (counts.failedItems > 0) failed.push_back(Count(counts.failedItems, "item"));
  if (counts.failedVolumes > 0) failed.push_back(Count(counts.failedVolumes, "volume"));
  if (counts.failedPartitions > 0) failed.push_back(Count(counts.failedPartitions, "partition"));
  for (size_t i = 0; i < failed.size(); ++i) {
    out_ << (i == 0 ? "; " : i + 1 == failed.size() ? " and " : ", ") << failed[i];
  }
  out_ << (failed.empty() ? ".\n" : " failed.\n");
}

// Made at the first program, so that a run without programs never loads the engine.
SoundBankBuilder& ExportRun::BankBuilder() {
  if (!builder_) {
    statusLine_ = std::make_unique<ErrStatusLine>(err_, *progress_);
    builder_ = std::make_unique<SoundBankBuilder>(statusLine_.get());
    builder_->LoadEngine(options_.engineLibrary);
  }
  return *builder_;
}

void ExportRun::SampleNotLoaded(const ExportVolume& volume, const ExportItem& item, const std::exception_ptr& failure) {
  const uint16_t start = disc_.reader().partitions().At(volume.partition)->startBlock;
  Print(volume.label + "/" + item.name + ": cannot load the sample: " +
        FailureReason(failure, disc_.imageBytes(), FilePlace(start, item.start, item.size, "its directory entry")));
}

void ExportRun::NotWritten(const ExportVolume& volume, const ExportItem& item, const fs::path& path) {
  Print(volume.label + "/" + item.name +
        (item.program ? ": the bank was not written (see above)" : ": could not write " + path.string()));
}

// A note, not a failure: both halves are still written.
void ExportRun::NotJoined(const ExportVolume& volume, const StereoPair& pair, const std::string& why) {
  Print("note: " + volume.label + "/" + pair.name + ": the -L and -R samples are written as two files: " + why);
}

void ExportRun::Print(const std::string& failure) {
  if (progress_) progress_->Clear();
  err_ << kProgram << ": " << options_.image.string() << ": " << failure << "\n";
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
  command->add_option("IMAGE", options->image, kDiscHelp)->required();
  command->add_option("-o,--output", options->outputDir, "Folder to write into (created when missing)")->required();
  auto volume = std::make_shared<VolumeOptions>(*command, options->partition);
  command->add_flag("--all", options->all, "Every volume of every partition, one folder each")
      ->excludes(volume->partition)
      ->excludes(volume->name)
      ->excludes(volume->index);
  command->add_flag("--normalize", options->normalize, "Peak-normalize the WAV files");
  command->add_flag("--no-sf2", options->noSf2, "Write no SoundFont banks for the programs");
  command->add_flag("--join-stereo", options->joinStereo,
                    "Write each \"-L\"/\"-R\" sample pair of equal length and rate as one stereo WAV file");
  command->callback([options, volume, &exitStatus] {
    volume->Apply(options->volumeName, options->volumeIndex);
    options->progress = isatty(STDERR_FILENO) != 0;
    exitStatus = RunExport(*options, std::cout, std::cerr);
  });
}

}  // namespace cli
