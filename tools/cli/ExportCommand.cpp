#include "tools/cli/ExportCommand.h"

#include <unistd.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <utility>
#include <string>
#include <vector>

#include "common/Warnings.h"
#include "export/ExportBatch.h"
#include "export/ExportNames.h"
#include "export/SoundBankBuilder.h"
#include "platform/prompt/Prompt.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"
#include "tools/cli/internal/ProgressLine.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// A drive that does not answer asks whether to try again through the terminal prompt:
// the progress line is taken away first, so that both stay readable. (Warnings never
// reach the prompt: they are printed as lines.)
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
  ImageDisc(OpenedDisc& disc, std::string name) : ExportDisc(disc.reader()), disc_(disc), name_(std::move(name)) {}
  std::string Name() const override { return name_; }
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
  std::string name_;
};

// Runs the export batch and reports on the terminal: a line per file written, a line
// per failure, the progress line and the summary.
class ExportRun : public ExportReport {
 public:
  ExportRun(const ExportOptions& options, ExportFormats formats, OpenedDisc& disc, std::ostream& out,
            std::ostream& err)
      : options_(options), formats_(std::move(formats)), disc_(disc),
        imageDisc_(disc, options.image.filename().string()), out_(out), err_(err) {}

  int Run();

  SoundBankBuilder& BankBuilder() override;
  StatusLine* Warnings() override { return statusLine_.get(); }
  void ItemStarted(const ExportVolume& volume, const ExportItem& item) override {
    progress_->Item(volume.label + "/" + item.name);
  }
  ProgressBar* BankStarting(const ExportVolume&, const ExportItem&) override { return progress_; }
  void Wrote(const fs::path& path) override;
  void Kept(const fs::path& path) override {
    progress_->Clear();
    out_ << "kept " << path.string() << " (already there)\n";
  }
  void SampleNotLoaded(const ExportVolume& volume, const ExportItem& item, const std::exception_ptr& failure) override;
  void NotWritten(const ExportVolume& volume, const ExportItem& item, const fs::path& path,
                  const std::string& reason) override;
  void Warned(const ExportVolume& volume, const ExportItem& item, const std::string& text) override {
    Print(volume.label + "/" + item.name + ": " + WarningsOnOneLine({text}));
  }
  void Failed(ExportLoss, const std::string& text) override { Print(text); }
  void NotJoined(const ExportVolume& volume, const StereoPair& pair, const std::string& why) override;

 private:
  ExportVolume PlanOneVolume(ExportBatch& batch);
  std::vector<ExportItem> SelectedItems(const ExportVolume& volume);
  void Print(const std::string& failure);
  void PrintSummary(const ExportCounts& counts);

  const ExportOptions& options_;
  const ExportFormats formats_;
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
  // Warnings given outside an item's files (a program read to choose its samples) are
  // printed as lines too, never as a terminal prompt.
  const ScopedWarningHandler warnings([this](const std::string& text) { Print(WarningsOnOneLine({text})); });
  ExportBatch batch(imageDisc_, *this,
                    {.normalize = options_.normalize,
                     .withPrograms = formats_.Any(),
                     .formats = formats_,
                     .joinStereo = options_.joinStereo,
                     .noClobber = options_.noClobber});
  // A volume that cannot be found leaves no folder behind; with --all the folder is
  // checked before the disc's own failures are reported one by one.
  std::vector<ExportVolume> volumes;
  if (!options_.all) volumes.push_back(PlanOneVolume(batch));
  PrepareOutputFolder(options_.outputDir);
  if (options_.all) volumes = batch.PlanAllVolumes(options_.outputDir);
  ProgressLine progress(err_, options_.progress, ItemCount(volumes));
  ClearingPrompt prompt(progress);
  progress_ = &progress;
  statusLine_ = std::make_unique<ErrStatusLine>(err_, progress);
  batch.Export(volumes);
  progress.Clear();
  progress_ = nullptr;
  PrintSummary(batch.counts());
  return batch.counts().AnyFailed() ? kExitPartialFailure : kExitSuccess;
}

ExportVolume ExportRun::PlanOneVolume(ExportBatch& batch) {
  const SelectedVolume selected =
      SelectVolume(disc_, {options_.partition, options_.volumeName, options_.volumeIndex});
  ExportVolume volume = batch.PlanVolume(selected.partition, selected.volume, selected.label, options_.outputDir);
  if (!options_.names.empty()) volume.items = SelectedItems(volume);
  return volume;
}

// The items the names choose among those planned (the reader holds the volume's
// directory): the named ones and the samples that named programs play.
std::vector<ExportItem> ExportRun::SelectedItems(const ExportVolume& volume) {
  AkaiVolumeReader& reader = disc_.reader();
  const std::vector<FileListing> files = ListFiles(reader);
  std::set<std::string> programs, samples;
  for (const std::string& typed : options_.names) {
    const std::string name = ListedItemName(files, typed, false, volume.label);
    if (FindItem(files, name, true) == nullptr) {
      samples.insert(name);
      continue;
    }
    programs.insert(name);
    try {
      reader.LoadProgram(volume.partition, volume.volume, name.c_str());
    } catch (const CodedError&) {
      continue;  // exporting the program reports why it cannot be read
    }
    const AkaiProgram& program = reader.program();
    for (int k = 0; k < program.keygroups.Count(); ++k) {
      const AkaiKeygroup& keygroup = *program.keygroups.At(k);
      for (uint32_t z = 0; z < keygroup.zoneCount; ++z) samples.insert(keygroup.zones[z].sampleName);
    }
  }
  std::vector<ExportItem> chosen;
  for (const ExportItem& item : volume.items) {
    if ((item.program ? programs : samples).count(item.name) != 0) chosen.push_back(item);
  }
  return chosen;
}

void ExportRun::PrintSummary(const ExportCounts& counts) {
  out_ << "Exported " << Count(counts.samples, "sample") << (counts.presets > 0 ? ", " : " and ")
       << Count(counts.banks, "bank");
  if (counts.presets > 0) out_ << " and " << Count(counts.presets, "preset");
  out_ << " from "
       << Count(counts.volumes, "volume") << " into " << options_.outputDir.string();
  std::vector<std::string> failed;
  if (counts.failedItems > 0) failed.push_back(Count(counts.failedItems, "item"));
  if (counts.failedVolumes > 0) failed.push_back(Count(counts.failedVolumes, "volume"));
  if (counts.failedPartitions > 0) failed.push_back(Count(counts.failedPartitions, "partition"));
  for (size_t i = 0; i < failed.size(); ++i) {
    out_ << (i == 0 ? "; " : i + 1 == failed.size() ? " and " : ", ") << failed[i];
  }
  out_ << (failed.empty() ? "" : " failed");
  if (counts.kept > 0) out_ << "; " << Count(counts.kept, "file") << " already there kept";
  out_ << ".\n";
}

// Made at the first program, so that a run without programs never loads the engine.
SoundBankBuilder& ExportRun::BankBuilder() {
  if (!builder_) {
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

void ExportRun::NotWritten(const ExportVolume& volume, const ExportItem& item, const fs::path& path,
                           const std::string& reason) {
  Print(volume.label + "/" + item.name +
        (!item.program                 ? ": could not write " + path.string()
         : path.extension() == ".sf2" ? std::string(": the bank was not written")
                                      : ": " + path.filename().string() + " was not written") +
        (reason.empty() ? "" : ": " + reason));
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

int ExportImage(const ExportOptions& options, const ExportFormats& formats, std::ostream& out, std::ostream& err) {
  return ReportFailures(options.image, err, [&] {
    OpenedDisc disc(options.image);
    return ExportRun(options, formats, disc, out, err).Run();
  });
}

// Several images, each into a folder of its own named after the image file; an image
// that fails does not stop the others.
int ExportImages(const ExportOptions& options, const ExportFormats& formats, std::ostream& out, std::ostream& err) {
  std::vector<fs::path> images{options.image};
  images.insert(images.end(), options.names.begin(), options.names.end());
  std::vector<std::string> names;
  for (const fs::path& image : images) names.push_back(image.filename().string());
  const std::vector<std::string> folders = VolumeFolderNames(names);
  int status = kExitSuccess;
  for (size_t i = 0; i < images.size(); ++i) {
    ExportOptions one = options;
    one.image = images[i];
    one.names.clear();
    one.outputDir = options.outputDir / folders[i];
    if (ExportImage(one, formats, out, err) != kExitSuccess) status = kExitPartialFailure;
  }
  return status;
}

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  ExportFormats formats;
  try {
    formats = ParseExportFormats(options.formats);
  } catch (const std::invalid_argument& error) {
    err << kProgram << ": export: --format: " << error.what() << "\n";
    return kExitFailure;
  }
  // --no-sf2 keeps its meaning whatever the list says.
  if (options.noSf2) formats.soundFont = false;
  if (const std::string problem = CheckOptions(options); !problem.empty()) {
    err << kProgram << ": export: " << problem << "\n";
    return kExitFailure;
  }
  if (options.all && !options.names.empty()) return ExportImages(options, formats, out, err);
  return ExportImage(options, formats, out, err);
}

void AddExportCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Write a volume's samples as WAV files and its programs as SoundFont banks");
  command->add_option("IMAGE", options->image, kDiscHelp)->required();
  command->add_option("-o,--output", options->outputDir, "Folder to write into (created when missing)")->required();
  auto volume = std::make_shared<VolumeOptions>(*command, options->partition);
  command->add_option("NAME", options->names,
                      "Only these programs and samples of the volume (a program brings its samples); with "
                      "--all, more images, each into DIR/<image name>/");
  command->add_flag("--all", options->all, "Every volume of every partition, one folder each")
      ->excludes(volume->partition)
      ->excludes(volume->name)
      ->excludes(volume->index);
  command->add_flag("--normalize", options->normalize, "Peak-normalize the WAV files");
  command->add_option("--format", options->formats,
                      "What each program becomes, a comma list of " + KnownExportFormats() +
                          "; presets lie beside the bank and play the WAV files (default: sf2)");
  command->add_flag("--no-sf2", options->noSf2, "Write no SoundFont banks for the programs");
  command->add_flag("--no-clobber", options->noClobber, "Keep files that are already there (each is reported)");
  command->add_flag("--join-stereo", options->joinStereo,
                    "Write each \"-L\"/\"-R\" sample pair of equal length and rate as one stereo WAV file");
  command->callback([options, volume, &exitStatus] {
    volume->Apply(options->volumeName, options->volumeIndex);
    options->progress = isatty(STDERR_FILENO) != 0;
    exitStatus = RunExport(*options, std::cout, std::cerr);
  });
}

}  // namespace cli
