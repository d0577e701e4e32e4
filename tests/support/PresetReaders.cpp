#include "tests/support/PresetReaders.h"

#include <QFile>
#include <QXmlStreamReader>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace testsupport {
namespace {

using Values = std::map<std::string, std::string>;

double Number(const std::string& text, const std::string& what) {
  size_t used = 0;
  const double value = std::stod(text, &used);
  if (used != text.size() || text.find_first_of("eE") != std::string::npos) {
    throw std::runtime_error(what + ": not a plain decimal number: " + text);
  }
  return value;
}

// --- SFZ -----------------------------------------------------------------------------

const std::set<std::string> kSfzOpcodes{
    "sample", "lokey", "hikey", "lovel", "hivel", "pitch_keycenter", "transpose", "tune", "pitch_keytrack",
    "loop_mode", "loop_start", "loop_end", "ampeg_attack", "ampeg_decay", "ampeg_sustain", "ampeg_release",
    "pan", "fil_type", "cutoff", "volume"};

PresetZoneValues SfzZone(const Values& v) {
  const auto get = [&](const char* name, double otherwise) {
    return v.count(name) ? Number(v.at(name), name) : otherwise;
  };
  PresetZoneValues zone;
  if (!v.count("sample")) throw std::runtime_error("a region without sample");
  zone.sample = v.at("sample");
  zone.lowKey = static_cast<int>(get("lokey", 0));
  zone.highKey = static_cast<int>(get("hikey", 127));
  zone.lowVelocity = static_cast<int>(get("lovel", 1));
  zone.highVelocity = static_cast<int>(get("hivel", 127));
  zone.rootKey = static_cast<int>(get("pitch_keycenter", 60));
  zone.tuningCents = 100 * get("transpose", 0) + get("tune", 0);
  if (std::abs(get("tune", 0)) > 100) throw std::runtime_error("tune outside -100..100");
  zone.followsKeys = get("pitch_keytrack", 100) != 0;
  const std::string mode = v.count("loop_mode") ? v.at("loop_mode") : "no_loop";
  if (mode != "no_loop" && mode != "loop_continuous" && mode != "loop_sustain" && mode != "one_shot") {
    throw std::runtime_error("unknown loop_mode " + mode);
  }
  zone.looped = mode == "loop_continuous" || mode == "loop_sustain";
  zone.loopStart = static_cast<long>(get("loop_start", -1));
  zone.loopEnd = static_cast<long>(get("loop_end", -1));
  zone.attack = get("ampeg_attack", 0);
  zone.decay = get("ampeg_decay", 0);
  zone.sustain = get("ampeg_sustain", 100) / 100;
  zone.release = get("ampeg_release", 0);
  zone.pan = get("pan", 0);
  if (v.count("cutoff")) {
    if (!v.count("fil_type") || v.at("fil_type") != "lpf_2p") throw std::runtime_error("cutoff without lpf_2p");
    zone.cutoffHertz = get("cutoff", 0);
  }
  zone.volumeDecibels = get("volume", 0);
  return zone;
}

}  // namespace

std::vector<PresetZoneValues> ReadSfzPreset(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  std::vector<PresetZoneValues> zones;
  Values global, group, region;
  enum { None, Global, Group, Region } header = None;
  const auto closeRegion = [&] {
    if (header != Region) return;
    Values merged = region;
    merged.insert(group.begin(), group.end());
    merged.insert(global.begin(), global.end());
    zones.push_back(SfzZone(merged));
  };
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("//", 0) == 0 || line.find_first_not_of(" \t\r") == std::string::npos) continue;
    if (line.front() == '<') {
      closeRegion();
      if (line == "<region>") {
        header = Region;
        region.clear();
      } else if (line == "<group>") {
        header = Group;
        group.clear();
      } else if (line == "<global>") {
        header = Global;
      } else {
        throw std::runtime_error("unknown header " + line);
      }
      continue;
    }
    // One opcode per line; the sample's name runs to the end of the line.
    const size_t equals = line.find('=');
    if (equals == std::string::npos || header == None) throw std::runtime_error("stray line: " + line);
    const std::string name = line.substr(0, equals);
    if (!kSfzOpcodes.count(name)) throw std::runtime_error("unknown opcode " + name);
    Values& target = header == Region ? region : header == Group ? group : global;
    if (!target.emplace(name, line.substr(equals + 1)).second) throw std::runtime_error("opcode given twice: " + name);
  }
  closeRegion();
  return zones;
}

// --- Decent Sampler ----------------------------------------------------------------

namespace {

const std::map<std::string, std::set<std::string>> kDsAttributes{
    {"DecentSampler", {"minVersion"}},
    {"ui", {"width", "height"}},
    {"tab", {"name"}},
    {"labeled-knob", {"x", "y", "width", "label", "type", "minValue", "maxValue", "value"}},
    {"binding", {"type", "level", "position", "parameter"}},
    {"groups", {"attack", "decay", "sustain", "release"}},
    {"group", {"attack", "decay", "sustain", "release"}},
    {"effects", {}},
    {"effect", {"type", "frequency"}},
    {"sample",
     {"path", "rootNote", "loNote", "hiNote", "loVel", "hiVel", "tuning", "pitchKeyTrack", "loopEnabled",
      "loopStart", "loopEnd", "attack", "decay", "sustain", "release", "pan", "volume"}},
};

double Decibels(const std::string& text) {
  if (text.size() < 2 || text.substr(text.size() - 2) != "dB") throw std::runtime_error("volume without dB: " + text);
  return Number(text.substr(0, text.size() - 2), "volume");
}

PresetZoneValues DsZone(const Values& v, double cutoff) {
  const auto get = [&](const char* name, double otherwise) {
    return v.count(name) ? Number(v.at(name), name) : otherwise;
  };
  PresetZoneValues zone;
  zone.sample = v.at("path");
  zone.rootKey = static_cast<int>(get("rootNote", -1));
  zone.lowKey = static_cast<int>(get("loNote", 0));
  zone.highKey = static_cast<int>(get("hiNote", 127));
  zone.lowVelocity = static_cast<int>(get("loVel", 0));
  zone.highVelocity = static_cast<int>(get("hiVel", 127));
  zone.tuningCents = 100 * get("tuning", 0);
  zone.followsKeys = get("pitchKeyTrack", 1) != 0;
  const std::string loop = v.count("loopEnabled") ? v.at("loopEnabled") : "false";
  if (loop != "true" && loop != "false") throw std::runtime_error("loopEnabled " + loop);
  zone.looped = loop == "true";
  zone.loopStart = static_cast<long>(get("loopStart", -1));
  zone.loopEnd = static_cast<long>(get("loopEnd", -1));
  zone.attack = get("attack", 0);
  zone.decay = get("decay", 0);
  zone.sustain = get("sustain", 1);
  zone.release = get("release", 0);
  zone.pan = get("pan", 0);
  zone.cutoffHertz = cutoff;
  zone.volumeDecibels = v.count("volume") ? Decibels(v.at("volume")) : 0;
  return zone;
}

}  // namespace

std::vector<PresetZoneValues> ReadDecentSamplerPreset(const std::filesystem::path& file) {
  QFile device(QString::fromStdString(file.string()));
  if (!device.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot open " + file.string());
  QXmlStreamReader xml(&device);
  std::vector<PresetZoneValues> zones;
  std::vector<Values> scopes;  // attributes of the enclosing groups and group
  double cutoff = 0;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    const std::string name = xml.name().toString().toStdString();
    if (token == QXmlStreamReader::EndElement) {
      if (name == "groups" || name == "group") scopes.pop_back();
      if (name == "group") cutoff = 0;
      continue;
    }
    if (token != QXmlStreamReader::StartElement) continue;
    if (!kDsAttributes.count(name)) throw std::runtime_error("unknown element " + name);
    Values attributes;
    for (const QXmlStreamAttribute& attribute : xml.attributes()) {
      const std::string key = attribute.name().toString().toStdString();
      if (!kDsAttributes.at(name).count(key)) throw std::runtime_error("unknown attribute " + name + "." + key);
      attributes[key] = attribute.value().toString().toStdString();
    }
    if (name == "groups" || name == "group") scopes.push_back(attributes);
    if (name == "effect") {
      if (attributes["type"] != "lowpass") throw std::runtime_error("unknown effect " + attributes["type"]);
      cutoff = Number(attributes["frequency"], "frequency");
    }
    if (name == "sample") {
      for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) attributes.insert(scope->begin(), scope->end());
      zones.push_back(DsZone(attributes, cutoff));
    }
  }
  if (xml.hasError()) throw std::runtime_error("not well-formed XML: " + xml.errorString().toStdString());
  return zones;
}

}  // namespace testsupport
