#include "export/ExportBatch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <set>
#include <span>
#include <stdexcept>
#include <optional>
#include <utility>

#include "audio/WavFile.h"
#include "common/Warnings.h"
#include "export/ExportNames.h"
#include "export/SoundBankBuilder.h"

namespace fs = std::filesystem;

std::vector<ExportItem> ExportItems(const AkaiVolumeReader& reader, bool withPrograms) {
  std::vector<ExportItem> items;
  std::set<std::pair<bool, std::string>> seen;
  for (const AkaiFile& file : reader.files()) {
    const bool program = file.kind == S1000Program || file.kind == S3000Program;
    if ((program && !withPrograms) || !seen.insert({program, file.name}).second) continue;
    items.push_back({file.name, program, file.length, file.startBlock});
  }
  return items;
}

std::string WarningsOnOneLine(const std::vector<std::string>& texts) {
  std::string line;
  for (const std::string& text : texts) {
    if (!line.empty()) line += line.back() == '.' ? " " : ". ";
    line += text;
  }
  std::replace(line.begin(), line.end(), '\n', ' ');
  return line;
}

void ExportReport::Warned(const ExportVolume& /*volume*/, const ExportItem& /*item*/, const std::string& text) {
  Warn(text);
}

int ItemCount(const std::vector<ExportVolume>& volumes) {
  int total = 0;
  for (const ExportVolume& volume : volumes) total += static_cast<int>(volume.items.size());
  return total;
}

void PrepareOutputFolder(const fs::path& folder) {
  const std::string failure = "cannot use the output folder " + folder.string() + ": ";
  std::error_code error;
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    throw std::runtime_error(failure + "it is a file, not a folder");
  }
  fs::create_directories(folder, error);
  if (error) throw std::runtime_error(failure + "it cannot be created (" + error.message() + ")");
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw std::runtime_error(failure + "it cannot be written (" + std::strerror(errno) + ")");
  }
}

ExportVolume ExportBatch::PlanVolume(uint16_t partition, uint16_t volume, std::string label, fs::path folder) {
  disc_.ReadFiles(partition, volume);
  return {partition, volume, std::move(label), std::move(folder), ExportItems(disc_.reader(), settings_.withPrograms)};
}

std::vector<ExportVolume> ExportBatch::PlanAllVolumes(const fs::path& root) {
  for (const std::string& unreadable : disc_.UnreadablePartitions()) Fail(ExportLoss::Partition, unreadable);
  std::vector<ExportVolume> volumes;
  const int partitions = disc_.reader().partitions().Count();
  for (int p = 0; p < partitions; ++p) PlanPartition(static_cast<uint16_t>(p), root, volumes);
  return volumes;
}

// Adds the readable volumes of the partition; a volume list or directory that cannot
// be read is reported and counted.
void ExportBatch::PlanPartition(uint16_t partition, const fs::path& root, std::vector<ExportVolume>& volumes) {
  try {
    disc_.ReadVolumes(partition);
  } catch (const std::exception& error) {
    Fail(ExportLoss::Partition, error.what());
    return;
  }
  const ChainedList<AkaiVolume>& list = disc_.reader().volumes();
  std::vector<std::string> names;
  for (int v = 0; v < list.Count(); ++v) names.push_back(list.At(v)->name);
  const std::vector<std::string> folders = VolumeFolderNames(names);
  const fs::path partitionFolder = root / PartitionFolderName(partition);
  const std::string letter(1, static_cast<char>('A' + partition));
  for (size_t v = 0; v < names.size(); ++v) {
    try {
      volumes.push_back(PlanVolume(partition, static_cast<uint16_t>(v), letter + "/" + names[v], partitionFolder / folders[v]));
    } catch (const std::exception& error) {
      Fail(ExportLoss::Volume, error.what());
    }
  }
}

void ExportBatch::Export(const std::vector<ExportVolume>& volumes) {
  for (const ExportVolume& volume : volumes) ExportOneVolume(volume);
}

void ExportBatch::ExportOneVolume(const ExportVolume& volume) {
  std::error_code error;
  fs::create_directories(volume.folder, error);
  if (error) {
    Fail(ExportLoss::Volume, "volume " + volume.label + ": cannot create the folder " + volume.folder.string() + ": " +
                                 error.message());
    return;
  }
  ++counts_.volumes;
  writtenSamples_.clear();
  sampleInFile_.clear();
  // Each pair is exported where its first half comes; its second half is passed over.
  std::vector<const StereoPair*> pairAt(volume.items.size(), nullptr);
  std::vector<bool> secondHalf(volume.items.size(), false);
  const std::vector<StereoPair> pairs = settings_.joinStereo ? FindStereoPairs(volume.items) : std::vector<StereoPair>{};
  for (const StereoPair& pair : pairs) {
    pairAt[std::min(pair.left, pair.right)] = &pair;
    secondHalf[std::max(pair.left, pair.right)] = true;
  }
  // Samples before programs: a bank then imports its samples' WAV files as they are.
  for (const bool programs : {false, true}) {
    for (size_t i = 0; i < volume.items.size(); ++i) {
      const ExportItem& item = volume.items[i];
      if (secondHalf[i] || item.program != programs) continue;
      report_.ItemStarted(volume, item);
      if (pairAt[i] != nullptr) {
        ExportStereoPair(volume, *pairAt[i]);
      } else if (item.program) {
        ExportProgram(volume, item);
      } else {
        ExportSample(volume, item);
      }
    }
  }
}

// What tells a file apart from itself rewritten: the change time, unlike the
// modification time, moves on every write and cannot be set back.
std::optional<ExportBatch::FileIdentity> ExportBatch::IdentityOf(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  const auto nanoseconds = [](const timespec& time) { return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec; };
  return FileIdentity{status.st_dev, status.st_ino, static_cast<uint64_t>(status.st_size),
                      nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
}

void ExportBatch::RecordWrittenSample(const std::string& name, const fs::path& path) {
  // Each file holds one sample, and each sample lies in one file.
  ForgetWrittenFile(path);
  if (const auto before = writtenSamples_.find(name); before != writtenSamples_.end()) {
    const fs::path earlier = before->second.path;  // erased with its entry
    ForgetWrittenFile(earlier);
  }
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!identity) return;
  sampleInFile_[path] = name;
  writtenSamples_[name] = {path, *identity};
}

void ExportBatch::ForgetWrittenFile(const fs::path& path) {
  const auto held = sampleInFile_.find(path);
  if (held == sampleInFile_.end()) return;
  writtenSamples_.erase(held->second);
  sampleInFile_.erase(held);
}

fs::path ExportBatch::WrittenSampleFile(const std::string& name) const {
  const auto found = writtenSamples_.find(name);
  // A file changed since (by another program) holds other words: the bank reads the disc.
  if (found == writtenSamples_.end() || IdentityOf(found->second.path) != found->second.identity) return {};
  return found->second.path;
}

std::string ExportBatch::LoadPair(const ExportVolume& volume, const StereoPair& pair, std::vector<int16_t>& right) {
  AkaiVolumeReader& reader = disc_.reader();
  try {
    reader.LoadSample(volume.partition, volume.volume, volume.items[pair.right].name.c_str(), true);
    const AkaiSample& r = reader.sample();
    right.assign(r.data.get(), r.data.get() + r.sampleCount);
    const uint16_t rightRate = r.sampleRate;
    reader.LoadSample(volume.partition, volume.volume, volume.items[pair.left].name.c_str(), true);
    const AkaiSample& l = reader.sample();
    if (l.sampleCount != right.size()) {
      return "their lengths differ (" + std::to_string(l.sampleCount) + " and " + std::to_string(right.size()) +
             " words)";
    }
    if (l.sampleRate != rightRate) {
      return "their rates differ (" + std::to_string(l.sampleRate) + " and " + std::to_string(rightRate) + " Hz)";
    }
    return "";
  } catch (const std::exception&) {
    return "a half cannot be loaded";  // a read error (CodedError), or memory ran out
  }
}

void ExportBatch::ExportStereoPair(const ExportVolume& volume, const StereoPair& pair) {
  std::vector<int16_t> right;
  if (const std::string why = LoadPair(volume, pair, right); !why.empty()) {
    report_.NotJoined(volume, pair, why);
    ExportSample(volume, volume.items[pair.left]);
    ExportSample(volume, volume.items[pair.right]);
    return;
  }
  const fs::path path = volume.folder / (ExportBaseName(pair.name) + ".wav");
  if (Keeps(path)) return;
  if (!Attempt(volume, volume.items[pair.left], path,
               [&] { return WriteWavFile(disc_.reader().sample(), path, settings_.normalize, right.data()); })) {
    return;
  }
  ++counts_.samples;
  report_.Wrote(path);
  // Presets play the mono halves, as the bank does: those files are written too.
  if (WritesPresets()) {
    ExportSample(volume, volume.items[pair.left]);
    ExportSample(volume, volume.items[pair.right]);
  }
}

bool ExportBatch::CopySample(const ExportVolume& volume, const ExportItem& item, const fs::path& path) {
  AkaiVolumeReader& reader = disc_.reader();
  try {
    const auto words = reader.LocateSampleWords(volume.partition, volume.volume, item.name.c_str());
    return words && CopyWavFile(reader.sample(), path, *words);
  } catch (const std::exception&) {
    return false;  // the load that follows meets the fault again and reports it
  }
}

void ExportBatch::ExportSample(const ExportVolume& volume, const ExportItem& item) {
  const fs::path path = volume.folder / (ExportBaseName(item.name) + ".wav");
  if (Keeps(path)) return;
  if (!settings_.normalize && CopySample(volume, item, path)) {
    ++counts_.samples;
    RecordWrittenSample(item.name, path);
    report_.Wrote(path);
    return;
  }
  AkaiVolumeReader& reader = disc_.reader();
  std::span<const uint8_t> words;
  try {
    // Words written as they are go from the reader's buffer, without a copy in memory.
    if (settings_.normalize) {
      reader.LoadSample(volume.partition, volume.volume, item.name.c_str(), true);
    } else {
      words = reader.LoadSampleBytes(volume.partition, volume.volume, item.name.c_str());
    }
  } catch (const std::exception&) {
    // A read error (CodedError) or memory that ran out: the front end words it.
    ++counts_.failedItems;
    report_.SampleNotLoaded(volume, item, std::current_exception());
    return;
  }
  if (!Attempt(volume, item, path, [&] {
        return settings_.normalize ? WriteWavFile(reader.sample(), path, true)
                                   : WriteWavBytes(reader.sample(), path, words);
      })) {
    return;
  }
  ++counts_.samples;
  if (!settings_.normalize) RecordWrittenSample(item.name, path);
  report_.Wrote(path);
}

void ExportBatch::ExportProgram(const ExportVolume& volume, const ExportItem& item) {
  if (!settings_.formats.Any()) return;  // programs were chosen, but no format for them
  std::optional<ProgramPreset> preset;
  const bool read = Attempt(volume, item, volume.folder / ExportBaseName(item.name), [&] {
    preset = ReadProgramPreset(disc_.reader(), volume.partition, volume.volume, item.name.c_str(), Warnings());
    return preset.has_value();
  });
  if (!read) return;
  preset->disc = disc_.Name();
  preset->volume = volume.label;
  // The samples the presets play are written first, so that the bank can import them.
  if (!settings_.formats.presets.empty()) ExportUnplannedSamples(volume, *preset);
  if (settings_.formats.soundFont) ExportBank(volume, item, *preset);
  for (const PresetWriter* writer : settings_.formats.presets) ExportPreset(volume, item, *preset, *writer);
}

// Presets play the WAV files beside them: a sample that the plan leaves out (the
// window exports what is selected) is written too.
void ExportBatch::ExportUnplannedSamples(const ExportVolume& volume, const ProgramPreset& preset) {
  std::set<std::string> planned;
  for (const ExportItem& item : volume.items) {
    if (!item.program) planned.insert(item.name);
  }
  for (const PresetZone& zone : preset.zones) {
    if (planned.insert(zone.sampleName).second) ExportSample(volume, ExportItem{.name = zone.sampleName});
  }
}

void ExportBatch::ExportBank(const ExportVolume& volume, const ExportItem& item, const ProgramPreset& preset) {
  ProgressBar* progress = report_.BankStarting(volume, item);
  const fs::path path = volume.folder / (ExportBaseName(item.name) + ".sf2");
  if (Keeps(path)) return;
  // The builder is asked for inside, so that an engine that cannot be loaded is
  // part of the first bank's reason.
  const bool built = Attempt(volume, item, path, [&] {
    const WrittenSampleFiles written = [this](const std::string& name) { return WrittenSampleFile(name); };
    return report_.BankBuilder().BuildSoundBank(disc_.reader(), volume.partition, volume.volume, preset, path,
                                                progress, written) == 1;
  });
  if (!built) return;
  ++counts_.banks;
  report_.Wrote(path);
}

void ExportBatch::ExportPreset(const ExportVolume& volume, const ExportItem& item, const ProgramPreset& preset,
                               const PresetWriter& writer) {
  const fs::path path = volume.folder / (ExportBaseName(item.name) + std::string(writer.Extension()));
  if (Keeps(path)) return;
  if (!Attempt(volume, item, path, [&] { return WritePresetFile(writer, preset, path); })) return;
  ++counts_.presets;
  report_.Wrote(path);
}

bool ExportBatch::Attempt(const ExportVolume& volume, const ExportItem& item, const fs::path& path,
                          const std::function<bool()>& write) {
  // Whatever `write` makes of the file, it no longer holds a sample the batch wrote
  // before (a joined pair may take the name of a mono sample's file).
  ForgetWrittenFile(path);
  std::vector<std::string> warnings;
  bool written = false;
  {
    const ScopedWarningHandler collect([&warnings](const std::string& text) { warnings.push_back(text); });
    written = write();
  }
  if (written) {
    for (const std::string& text : warnings) report_.Warned(volume, item, text);
    return true;
  }
  ++counts_.failedItems;
  report_.NotWritten(volume, item, path, WarningsOnOneLine(warnings));
  return false;
}

bool ExportBatch::Keeps(const fs::path& path) {
  std::error_code error;
  if (!settings_.noClobber || !fs::exists(fs::symlink_status(path, error))) return false;
  ++counts_.kept;
  report_.Kept(path);
  return true;
}

StatusLine& ExportBatch::Warnings() {
  static StderrStatusLine standardError;
  if (StatusLine* warnings = report_.Warnings()) return *warnings;
  return settings_.formats.soundFont ? report_.BankBuilder().statusLine() : standardError;
}

void ExportBatch::Fail(ExportLoss what, const std::string& text) {
  ++(what == ExportLoss::Volume ? counts_.failedVolumes : counts_.failedPartitions);
  report_.Failed(what, text);
}
