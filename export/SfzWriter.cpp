// SFZ: one <region> per zone of the bank, every value in the region (SFZ 1 opcodes
// only, so that every SFZ player reads them), each opcode on a line of its own so that
// sample names with blanks stay whole.

#include <algorithm>
#include <sstream>

#include "export/PresetWriter.h"

namespace {

class SfzWriter : public PresetWriter {
 public:
  std::string_view Name() const override { return "sfz"; }
  std::string_view Extension() const override { return ".sfz"; }
  std::string Format(const ProgramPreset& preset) const override;

 private:
  static void WriteRegion(std::ostream& out, const PresetZone& zone);
};

void Opcode(std::ostream& out, const char* name, const std::string& value) { out << name << '=' << value << '\n'; }
void Opcode(std::ostream& out, const char* name, int value) { Opcode(out, name, std::to_string(value)); }
void Opcode(std::ostream& out, const char* name, double value) { Opcode(out, name, DecimalText(value)); }

std::string SfzWriter::Format(const ProgramPreset& preset) const {
  std::ostringstream out;
  out << "// Carvox preset of program " << preset.program << "\n";
  if (!preset.disc.empty()) out << "// disc: " << preset.disc << "\n";
  if (!preset.volume.empty()) out << "// volume: " << preset.volume << "\n";
  for (const PresetZone& zone : preset.zones) WriteRegion(out, zone);
  return out.str();
}

void SfzWriter::WriteRegion(std::ostream& out, const PresetZone& zone) {
  out << "\n<region>\n";
  Opcode(out, "sample", zone.wavFile);
  Opcode(out, "lokey", zone.lowKey);
  Opcode(out, "hikey", zone.highKey);
  // A velocity of 0 is a note-off: SFZ velocities start at 1.
  Opcode(out, "lovel", std::max<int>(zone.lowVelocity, 1));
  Opcode(out, "hivel", zone.highVelocity);
  Opcode(out, "pitch_keycenter", zone.RootKey());
  Opcode(out, "transpose", zone.TransposeSemitones());
  Opcode(out, "tune", zone.TuneCents());
  if (!zone.FollowsKeys()) Opcode(out, "pitch_keytrack", 0);
  Opcode(out, "loop_mode", zone.Looped() ? "loop_continuous" : "no_loop");
  if (zone.Looped()) {
    Opcode(out, "loop_start", static_cast<int>(zone.loop.start));
    Opcode(out, "loop_end", static_cast<int>(zone.LoopEnd()));
  }
  Opcode(out, "ampeg_attack", zone.AttackSeconds());
  Opcode(out, "ampeg_decay", zone.DecaySeconds());
  Opcode(out, "ampeg_sustain", 100.0 * zone.SustainLevel());
  Opcode(out, "ampeg_release", zone.ReleaseSeconds());
  Opcode(out, "pan", zone.PanPercent());
  if (!zone.FilterOpen()) {
    Opcode(out, "fil_type", "lpf_2p");
    Opcode(out, "cutoff", zone.CutoffHertz());
  }
  Opcode(out, "volume", zone.VolumeDecibels());
}

}  // namespace

const PresetWriter& SfzPresetWriter() {
  static const SfzWriter writer;
  return writer;
}
