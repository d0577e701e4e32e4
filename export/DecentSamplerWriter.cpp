// Decent Sampler: a ".dspreset" XML file. One <sample> per zone of the bank; a run of
// zones with the same filter shares a <group> carrying that lowpass filter as a group
// effect. An envelope shared by every zone sits on <groups>, where the small <ui>'s
// knobs act on it.

#include <algorithm>
#include <optional>
#include <sstream>

#include "export/PresetWriter.h"

namespace {

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&apos;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// An XML comment may not hold "--".
std::string CommentText(std::string text) {
  for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at)) text.insert(at + 1, " ");
  return text;
}

struct Envelope {
  double attack, decay, sustain, release;
  bool operator==(const Envelope&) const = default;
};

Envelope EnvelopeOf(const PresetZone& zone) {
  return {zone.AttackSeconds(), zone.DecaySeconds(), zone.SustainLevel(), zone.ReleaseSeconds()};
}

void Attribute(std::ostream& out, const char* name, const std::string& value) {
  out << ' ' << name << "=\"" << Escaped(value) << '"';
}
void Attribute(std::ostream& out, const char* name, double value) { Attribute(out, name, DecimalText(value)); }

void EnvelopeAttributes(std::ostream& out, const Envelope& envelope) {
  Attribute(out, "attack", envelope.attack);
  Attribute(out, "decay", envelope.decay);
  Attribute(out, "sustain", envelope.sustain);
  Attribute(out, "release", envelope.release);
}

class DecentSamplerWriter : public PresetWriter {
 public:
  std::string_view Name() const override { return "dspreset"; }
  std::string_view Extension() const override { return ".dspreset"; }
  std::string Format(const ProgramPreset& preset) const override;

 private:
  static void WriteInterface(std::ostream& out, const Envelope& envelope);
  static void WriteGroups(std::ostream& out, const ProgramPreset& preset, const std::optional<Envelope>& shared);
  static void WriteSample(std::ostream& out, const PresetZone& zone, bool withEnvelope);
};

// The envelope of every zone when all share it.
std::optional<Envelope> SharedEnvelope(const ProgramPreset& preset) {
  if (preset.zones.empty()) return std::nullopt;
  const Envelope first = EnvelopeOf(preset.zones.front());
  for (const PresetZone& zone : preset.zones) {
    if (!(EnvelopeOf(zone) == first)) return std::nullopt;
  }
  return first;
}

std::string DecentSamplerWriter::Format(const ProgramPreset& preset) const {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<!-- " << CommentText("Carvox preset of program " + preset.program);
  if (!preset.disc.empty()) out << CommentText(", disc " + preset.disc);
  if (!preset.volume.empty()) out << CommentText(", volume " + preset.volume);
  out << " -->\n<DecentSampler minVersion=\"1.6.0\">\n";
  const std::optional<Envelope> shared = SharedEnvelope(preset);
  WriteInterface(out, shared.value_or(preset.zones.empty() ? Envelope{} : EnvelopeOf(preset.zones.front())));
  WriteGroups(out, preset, shared);
  out << "</DecentSampler>\n";
  return out.str();
}

// Four knobs for the amplitude envelope of the whole instrument.
void DecentSamplerWriter::WriteInterface(std::ostream& out, const Envelope& envelope) {
  const struct {
    const char* label;
    const char* parameter;
    double value;
    double maximum;
  } knobs[] = {
      {"Attack", "ENV_ATTACK", envelope.attack, 30},
      {"Decay", "ENV_DECAY", envelope.decay, 30},
      {"Sustain", "ENV_SUSTAIN", envelope.sustain, 1},
      {"Release", "ENV_RELEASE", envelope.release, 30},
  };
  out << "  <ui width=\"812\" height=\"375\">\n    <tab name=\"main\">\n";
  int x = 20;
  for (const auto& knob : knobs) {
    out << "      <labeled-knob";
    Attribute(out, "x", x);
    Attribute(out, "y", 40);
    Attribute(out, "width", 90);
    Attribute(out, "label", knob.label);
    Attribute(out, "type", "float");
    Attribute(out, "minValue", 0);
    Attribute(out, "maxValue", knob.maximum);
    Attribute(out, "value", std::min(knob.value, knob.maximum));
    out << ">\n        <binding type=\"amp\" level=\"instrument\" position=\"0\"";
    Attribute(out, "parameter", knob.parameter);
    out << "/>\n      </labeled-knob>\n";
    x += 100;
  }
  out << "    </tab>\n  </ui>\n";
}

void DecentSamplerWriter::WriteGroups(std::ostream& out, const ProgramPreset& preset,
                                      const std::optional<Envelope>& shared) {
  out << "  <groups";
  if (shared) EnvelopeAttributes(out, *shared);
  out << ">\n";
  for (size_t z = 0; z < preset.zones.size();) {
    const PresetZone& first = preset.zones[z];
    out << "    <group>\n";
    if (!first.FilterOpen()) {
      out << "      <effects>\n        <effect type=\"lowpass\"";
      Attribute(out, "frequency", first.CutoffHertz());
      out << "/>\n      </effects>\n";
    }
    const int cutoff = first.Generator(sf2::kInitialFilterFc);
    for (; z < preset.zones.size() && preset.zones[z].Generator(sf2::kInitialFilterFc) == cutoff; ++z) {
      WriteSample(out, preset.zones[z], !shared);
    }
    out << "    </group>\n";
  }
  out << "  </groups>\n";
}

void DecentSamplerWriter::WriteSample(std::ostream& out, const PresetZone& zone, bool withEnvelope) {
  out << "      <sample";
  Attribute(out, "path", zone.wavFile);
  Attribute(out, "rootNote", zone.RootKey());
  Attribute(out, "loNote", zone.lowKey);
  Attribute(out, "hiNote", zone.highKey);
  Attribute(out, "loVel", std::max<int>(zone.lowVelocity, 1));
  Attribute(out, "hiVel", zone.highVelocity);
  Attribute(out, "tuning", zone.TransposeSemitones() + zone.TuneCents() / 100.0);
  Attribute(out, "pitchKeyTrack", zone.FollowsKeys() ? 1 : 0);
  Attribute(out, "loopEnabled", zone.Looped() ? "true" : "false");
  if (zone.Looped()) {
    Attribute(out, "loopStart", zone.loop.start);
    Attribute(out, "loopEnd", zone.LoopEnd());
  }
  if (withEnvelope) EnvelopeAttributes(out, EnvelopeOf(zone));
  Attribute(out, "pan", zone.PanPercent());
  Attribute(out, "volume", DecimalText(zone.VolumeDecibels()) + "dB");
  out << "/>\n";
}

}  // namespace

const PresetWriter& DecentSamplerPresetWriter() {
  static const DecentSamplerWriter writer;
  return writer;
}
