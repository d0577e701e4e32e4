#pragma once
// The export batch that every front end runs: which items of which volumes go into
// which folders (planning), the export of each item (a sample as a WAV file, a program
// as a SoundFont bank) and the count of what was written and what failed. A failing
// item never stops the run. Front ends word and show what happens through an
// ExportReport; the warnings that the WAV writer, the bank builder and the reader give
// while a file is written (Warn) reach it too, as the reasons of the files not written.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "akai/AkaiVolumeReader.h"
#include "export/ExportFeedback.h"
#include "export/PresetWriter.h"
#include "export/StereoPairs.h"

class SoundBankBuilder;

struct ExportItem {
  std::string name;  // as the directory lists it: the reader's lookups use it as it is
  bool program = false;
  uint32_t size = 0;   // bytes
  uint16_t start = 0;  // first block, relative to the partition
};

// One volume to export and the folder its files go to.
struct ExportVolume {
  uint16_t partition = 0;
  uint16_t volume = 0;
  std::string label;  // "A/NAME"
  std::filesystem::path folder;
  std::vector<ExportItem> items;
};

struct ExportCounts {
  int samples = 0;
  int banks = 0;
  int presets = 0;  // preset files of the other formats
  int kept = 0;     // files already there, kept (noClobber)
  int volumes = 0;  // whose folder was made
  int failedItems = 0;
  int failedVolumes = 0;
  int failedPartitions = 0;

  bool AnyFailed() const { return failedItems + failedVolumes + failedPartitions > 0; }
};

// What a failure leaves out of the run, counted apart.
enum class ExportLoss { Volume, Partition };

// The disc a batch reads: the volume reader and the structure reads that planning
// makes. A front end that explains failures in its own words overrides the reads and
// throws std::exception whose what() names what failed.
class ExportDisc {
 public:
  explicit ExportDisc(AkaiVolumeReader& reader) : reader_(reader) {}
  virtual ~ExportDisc() = default;
  ExportDisc(const ExportDisc&) = delete;
  ExportDisc& operator=(const ExportDisc&) = delete;

  AkaiVolumeReader& reader() const { return reader_; }
  virtual void ReadVolumes(uint16_t partition) { reader_.ReadVolumes(partition); }
  virtual void ReadFiles(uint16_t partition, uint16_t volume) { reader_.ReadFiles(partition, volume); }
  // The partitions of the disc's table that the reader left out, each worded as a
  // failure; planning the whole disc reports them first.
  virtual std::vector<std::string> UnreadablePartitions() const { return {}; }
  // The disc's name as presets name it in their headers; empty: not named.
  virtual std::string Name() const { return ""; }

 private:
  AkaiVolumeReader& reader_;
};

// What a front end hears from a batch, and the bank builder it lends it.
class ExportReport {
 public:
  virtual ~ExportReport() = default;
  // The builder for the banks, asked for at the first program only, so that a run
  // without programs never needs the SoundFont engine.
  virtual SoundBankBuilder& BankBuilder() = 0;
  virtual void ItemStarted(const ExportVolume& /*volume*/, const ExportItem& /*item*/) {}
  // A bank is about to be built: the progress bar the builder drives, or null.
  virtual ProgressBar* BankStarting(const ExportVolume& /*volume*/, const ExportItem& /*item*/) { return nullptr; }
  virtual void Wrote(const std::filesystem::path& /*path*/) {}
  // A file was already there and is kept (noClobber).
  virtual void Kept(const std::filesystem::path& /*path*/) {}
  // Where the warnings of a program's description go (a sample the volume lacks);
  // null: the bank builder's status line when banks are written, else standard error.
  virtual StatusLine* Warnings() { return nullptr; }
  // The failures; the batch counts each and goes on.
  virtual void SampleNotLoaded(const ExportVolume& volume, const ExportItem& item, const std::exception_ptr& failure) = 0;
  // WriteWavFile, the bank builder or a preset writer refused the file, or the program
  // could not be read. `reason`: the warnings given while the file was attempted, in
  // the system's words, on one line ("Could not perform task; the SF2 engine isn't
  // running."; empty when none was given).
  virtual void NotWritten(const ExportVolume& volume, const ExportItem& item, const std::filesystem::path& path,
                          const std::string& reason) = 0;
  // A warning given while a file was written that did not stop it (a program whose
  // last keygroups are skipped); by default, passed on to Warn outside the batch.
  virtual void Warned(const ExportVolume& volume, const ExportItem& item, const std::string& text);
  virtual void Failed(ExportLoss what, const std::string& text) = 0;
  // A "-L"/"-R" pair was not joined (`why`); its halves are exported as two files.
  virtual void NotJoined(const ExportVolume& /*volume*/, const StereoPair& /*pair*/, const std::string& /*why*/) {}
};

struct ExportSettings {
  bool normalize = false;     // WAV files hold peak-normalized copies
  bool withPrograms = true;   // false: programs are left out of the plan
  ExportFormats formats;      // what each program becomes: a bank, presets
  // "-L"/"-R" sample pairs of equal length and rate become one 2-channel WAV file,
  // named after the pair, with the left sample's root key and loop.
  bool joinStereo = false;
  // Files already there are kept, not replaced; each is reported.
  bool noClobber = false;
};

class ExportBatch {
 public:
  ExportBatch(ExportDisc& disc, ExportReport& report, ExportSettings settings)
      : disc_(disc), report_(report), settings_(settings) {}

  // Reads the volume's directory and plans its items into `folder`. Throws what the
  // disc's ReadFiles throws.
  ExportVolume PlanVolume(uint16_t partition, uint16_t volume, std::string label, std::filesystem::path folder);
  // Every volume of every partition, each in its own folder below `root`
  // (PartitionFolderName / VolumeFolderNames). What cannot be read is reported and
  // counted, and the rest of the disc is still planned.
  std::vector<ExportVolume> PlanAllVolumes(const std::filesystem::path& root);

  // Exports the planned volumes in order; in each, its samples in order, then its
  // programs, so that a bank takes its words from the WAV files just written.
  void Export(const std::vector<ExportVolume>& volumes);

  const ExportCounts& counts() const { return counts_; }

 private:
  void PlanPartition(uint16_t partition, const std::filesystem::path& root, std::vector<ExportVolume>& volumes);
  void ExportOneVolume(const ExportVolume& volume);
  void ExportSample(const ExportVolume& volume, const ExportItem& item);
  // Writes the sample's WAV file with its words copied file to file, where the disc is
  // an image file that holds them as they are (SectorSource::FileRunOf); false, having
  // written and reported nothing, where it cannot: the sample is then loaded.
  bool CopySample(const ExportVolume& volume, const ExportItem& item, const std::filesystem::path& path);
  void ExportStereoPair(const ExportVolume& volume, const StereoPair& pair);
  // Loads the right half's words and then the left half; the reason when they do not
  // make one stereo sample, or "" (the left is then the reader's current sample).
  std::string LoadPair(const ExportVolume& volume, const StereoPair& pair, std::vector<int16_t>& right);
  void ExportProgram(const ExportVolume& volume, const ExportItem& item);
  void ExportBank(const ExportVolume& volume, const ExportItem& item, const ProgramPreset& preset);
  void ExportPreset(const ExportVolume& volume, const ExportItem& item, const ProgramPreset& preset,
                    const PresetWriter& writer);
  void ExportUnplannedSamples(const ExportVolume& volume, const ProgramPreset& preset);
  // Runs `write`, which attempts the file `path` of `item`, with the warnings it gives
  // collected: when it fails (false), they are the reason of the file not written,
  // which is counted; else each is passed on as a warning.
  bool Attempt(const ExportVolume& volume, const ExportItem& item, const std::filesystem::path& path,
               const std::function<bool()>& write);
  StatusLine& Warnings();
  // With noClobber: whether `path` is there already (reported and counted), so that
  // nothing is written to it.
  bool Keeps(const std::filesystem::path& path);
  // Notes that sample `name` now lies in `path` as a mono WAV of its words unchanged
  // (the file the bank builder would write itself), until `path` is written again.
  void RecordWrittenSample(const std::string& name, const std::filesystem::path& path);
  void ForgetWrittenFile(const std::filesystem::path& path);
  // That file of sample `name`, as long as it is as the batch wrote it; else empty.
  std::filesystem::path WrittenSampleFile(const std::string& name) const;
  bool WritesPresets() const { return settings_.withPrograms && !settings_.formats.presets.empty(); }
  void Fail(ExportLoss what, const std::string& text);

  ExportDisc& disc_;
  ExportReport& report_;
  ExportSettings settings_;
  ExportCounts counts_;

  struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modified = 0;  // nanoseconds
    int64_t changed = 0;
    bool operator==(const FileIdentity&) const = default;
  };
  struct WrittenFile {
    std::filesystem::path path;
    FileIdentity identity;
  };
  static std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
  // Of the volume being exported: by sample name, and which sample each file holds.
  std::map<std::string, WrittenFile> writtenSamples_;
  std::map<std::filesystem::path, std::string> sampleInFile_;
};

// The items of the directory `reader` holds, in directory order. A name listed twice is
// planned once: the reader's lookups find the first entry of a name anyway.
std::vector<ExportItem> ExportItems(const AkaiVolumeReader& reader, bool withPrograms);

int ItemCount(const std::vector<ExportVolume>& volumes);

// Warnings as one line, as a list or a terminal shows them: a text's own line breaks
// (the message boxes') become spaces, and each text ends as a sentence before the next.
std::string WarningsOnOneLine(const std::vector<std::string>& texts);

// Makes the output folder and checks that files can be made in it, so that a folder
// that cannot be used fails a run once, not once per item. Throws std::runtime_error
// ("cannot use the output folder DIR: it is a file, not a folder").
void PrepareOutputFolder(const std::filesystem::path& folder);
