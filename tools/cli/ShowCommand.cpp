#include "tools/cli/ShowCommand.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "akai/PlayLoopAndTuning.h"
#include "export/SoundBankBuilder.h"
#include "tools/cli/DiscAccess.h"
#include "tools/cli/DiscListing.h"

namespace cli {
namespace {

// "C3" for key 60, as the sampler's own display names keys.
std::string NoteName(int key) {
  static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  return kNames[key % 12] + std::to_string(key / 12 - 2);
}

void PrintSample(const AkaiSample& sample, std::ostream& out) {
  out << "        sample: " << sample.sampleRate << " Hz, root key " << int{sample.originalKey} << ", "
      << sample.sampleCount << " words, tuning " << int{sample.semitoneTune} << " semitones " << int{sample.centsTune}
      << " cents\n";
  const PlayLoop loop = FindPlayLoop(sample);
  if (loop.length == 0) {
    out << "        play loop: none\n";
  } else {
    out << "        play loop: words " << loop.start << " to " << loop.start + loop.length - 1 << " (" << loop.length
        << " words)\n";
  }
}

class ProgramPrinter {
 public:
  ProgramPrinter(OpenedDisc& disc, const SelectedVolume& volume, std::vector<FileListing> files, std::ostream& out)
      : disc_(disc), volume_(volume), files_(std::move(files)), out_(out) {}

  // Prints the program the reader holds, listed as `listedName`. Returns whether every
  // zone's sample could be loaded.
  bool Print(const std::string& listedName);
  std::optional<ReadPlace> PlaceOf(const std::string& name, bool program) const;

 private:
  void PrintZone(const AkaiKeygroup& keygroup, uint32_t z);

  OpenedDisc& disc_;
  const SelectedVolume& volume_;
  const std::vector<FileListing> files_;  // the volume's directory
  std::ostream& out_;
  bool allLoaded_ = true;
};

bool ProgramPrinter::Print(const std::string& listedName) {
  // LoadSample replaces only the reader's sample: the program stays valid meanwhile.
  const AkaiProgram& program = disc_.reader().program();
  const int keygroups = program.keygroups.Count();
  const FileListing* listed = FindItem(files_, listedName, true);
  out_ << "Program " << program.name << " (" << (listed ? KindText(listed->kind) : "program") << ") in volume "
       << volume_.label << ": " << keygroups << (keygroups == 1 ? " keygroup" : " keygroups");
  if (keygroups < program.keygroupCount) {
    out_ << " (its header names " << int{program.keygroupCount} << "; the rest cannot be read)";
  }
  out_ << "\n";
  for (int k = 0; k < keygroups; ++k) {
    const AkaiKeygroup& keygroup = *program.keygroups.At(k);
    out_ << "  Keygroup " << k + 1 << ": keys " << int{keygroup.lowKey()} << " to " << int{keygroup.highKey()}
         << ", tuning " << int{keygroup.semitoneTune()} << " semitones " << int{keygroup.centsTune()} << " cents, "
         << keygroup.zoneCount << (keygroup.zoneCount == 1 ? " zone\n" : " zones\n");
    for (uint32_t z = 0; z < keygroup.zoneCount && z < 4; ++z) PrintZone(keygroup, z);
  }
  return allLoaded_;
}

void ProgramPrinter::PrintZone(const AkaiKeygroup& keygroup, uint32_t z) {
  const AkaiVelocityZone& zone = keygroup.zones[z];
  out_ << "    Zone " << z + 1 << ": " << zone.sampleName << ", velocities " << int{zone.lowVelocity} << " to "
       << int{zone.highVelocity} << ", tuning " << int{zone.semitoneTune} << " semitones " << int{zone.centsTune}
       << " cents, pan " << int{zone.pan} << ", loop mode " << int{zone.loopMode} << "\n";
  AkaiVolumeReader& reader = disc_.reader();
  try {
    reader.LoadSample(volume_.partition, volume_.volume, zone.sampleName, false);
    PrintSample(reader.sample(), out_);
    const SoundBankBuilder::ZoneGenerators generators =
        ZoneGeneratorsFor(reader.program(), keygroup, z, reader.sample());
    out_ << "        in a bank: coarse tune " << GeneratorAmount(generators, sf2::kCoarseTune) << " semitones, fine tune "
         << GeneratorAmount(generators, sf2::kFineTune) << " cents, "
         << (GeneratorAmount(generators, sf2::kSampleModes) != 0 ? "looped" : "not looped") << "\n";
  } catch (const CodedError&) {
    out_ << "        sample: cannot be loaded: "
         << FailureReason(std::current_exception(), disc_.imageBytes(), PlaceOf(zone.sampleName, false)) << "\n";
    allLoaded_ = false;
  }
}

// Where the volume's first item of that name and kind lies, to explain a failed read.
std::optional<ReadPlace> ProgramPrinter::PlaceOf(const std::string& name, bool program) const {
  const FileListing* item = FindItem(files_, name, program);
  if (item == nullptr) return std::nullopt;
  const uint16_t start = disc_.reader().partitions().At(volume_.partition)->startBlock;
  return FilePlace(start, item->start, item->size, "its directory entry");
}

// A sample's own header: rate, length, root key, tuning and every loop entry in use.
void PrintSampleHeader(const AkaiSample& sample, const FileListing& listed, const SelectedVolume& volume,
                       std::ostream& out) {
  out << "Sample " << sample.name << " (" << KindText(listed.kind) << ") in volume " << volume.label << "\n";
  out << "  rate " << sample.sampleRate << " Hz, length " << sample.sampleCount << " words";
  if (sample.sampleRate != 0) out << " (" << static_cast<double>(sample.sampleCount) / sample.sampleRate << " s)";
  out << "\n  root key " << int{sample.originalKey} << " (" << NoteName(sample.originalKey) << "), tuning "
      << int{sample.semitoneTune} << " semitones " << int{sample.centsTune} << " cents\n";
  for (size_t l = 0; l < std::size(sample.loops); ++l) {
    const AkaiLoop& loop = sample.loops[l];
    if (loop.end == 0 && loop.length == 0) break;
    out << "  loop " << l + 1 << ": ends at word " << loop.end << ", " << loop.length << " words, "
        << (loop.time == 9999 ? std::string("held") : loop.time == 0 ? std::string("not played")
                                                                     : std::to_string(loop.time) + " ms")
        << "\n";
  }
  const PlayLoop play = FindPlayLoop(sample);
  if (play.length == 0) {
    out << "  play loop: none\n";
  } else {
    out << "  play loop: words " << play.start << " to " << play.start + play.length - 1 << "\n";
  }
}

int ShowSample(OpenedDisc& disc, const SelectedVolume& volume, const FileListing& listed, std::ostream& out) {
  try {
    disc.reader().LoadSample(volume.partition, volume.volume, listed.name.c_str(), false);
  } catch (const CodedError&) {
    const uint16_t start = disc.reader().partitions().At(volume.partition)->startBlock;
    throw CommandError("volume " + volume.label + ": cannot load sample \"" + listed.name + "\": " +
                       FailureReason(std::current_exception(), disc.imageBytes(),
                                     FilePlace(start, listed.start, listed.size, "its directory entry")));
  }
  PrintSampleHeader(disc.reader().sample(), listed, volume, out);
  return kExitSuccess;
}

int Show(const ShowOptions& options, const VolumeChoice& choice, std::ostream& out, std::ostream& err) {
  OpenedDisc disc(options.image);
  const SelectedVolume volume = SelectVolume(disc, choice);
  disc.ReadFiles(volume.partition, volume.volume);
  std::vector<FileListing> files = ListFiles(disc.reader());
  const std::string name = ListedItemName(files, options.program, false, volume.label);
  // A name that only a sample has shows the sample.
  if (const FileListing* sample = FindItem(files, name, false);
      sample != nullptr && FindItem(files, name, true) == nullptr) {
    return ShowSample(disc, volume, *sample, out);
  }
  ProgramPrinter printer(disc, volume, std::move(files), out);
  try {
    disc.reader().LoadProgram(volume.partition, volume.volume, name.c_str());
  } catch (const CodedError&) {
    throw CommandError("volume " + volume.label + ": cannot load program \"" + name +
                       "\": " + FailureReason(std::current_exception(), disc.imageBytes(), printer.PlaceOf(name, true)));
  }
  if (printer.Print(name)) return kExitSuccess;
  err << kProgram << ": " << options.image.string() << ": program " << volume.label << "/" << name
      << ": some zones' samples cannot be loaded\n";
  return kExitPartialFailure;
}

}  // namespace

int RunShow(const ShowOptions& options, std::ostream& out, std::ostream& err) {
  const VolumeChoice choice{options.partition, options.volumeName, options.volumeIndex};
  if (!NamesOneVolume(choice)) {
    err << kProgram << ": show: give --partition P with either --volume NAME or --volume-index N\n";
    return kExitFailure;
  }
  return ReportFailures(options.image, err, [&] { return Show(options, choice, out, err); });
}

void AddShowCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ShowOptions>();
  CLI::App* command = app.add_subcommand("show", "Show a program's keygroups and zones, or a sample's header");
  command->add_option("IMAGE", options->image, kDiscHelp)->required();
  auto volume = std::make_shared<VolumeOptions>(*command, options->partition);
  command->add_option("NAME", options->program, "Program or sample name as listed (case and blanks as you like)")->required();
  command->callback([options, volume, &exitStatus] {
    volume->Apply(options->volumeName, options->volumeIndex);
    exitStatus = RunShow(*options, std::cout, std::cerr);
  });
}

}  // namespace cli
