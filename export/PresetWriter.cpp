#include "export/PresetWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "common/Warnings.h"

namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const std::vector<const PresetWriter*>& PresetWriters() {
  static const std::vector<const PresetWriter*> writers{&SfzPresetWriter(), &DecentSamplerPresetWriter()};
  return writers;
}

ExportFormats ParseExportFormats(std::string_view list) {
  ExportFormats formats{.soundFont = false, .presets = {}};
  size_t from = 0;
  while (from <= list.size()) {
    const size_t comma = std::min(list.find(',', from), list.size());
    const std::string_view name = Trimmed(list.substr(from, comma - from));
    from = comma + 1;
    if (name == kSoundFontFormatName) {
      formats.soundFont = true;
      continue;
    }
    const PresetWriter* found = nullptr;
    for (const PresetWriter* writer : PresetWriters()) {
      if (writer->Name() == name) found = writer;
    }
    if (found == nullptr) {
      throw std::invalid_argument("unknown format \"" + std::string(name) + "\" (known: " + KnownExportFormats() + ")");
    }
    if (std::find(formats.presets.begin(), formats.presets.end(), found) == formats.presets.end()) {
      formats.presets.push_back(found);
    }
  }
  return formats;
}

std::string ExportFormatList(const ExportFormats& formats) {
  std::string list = formats.soundFont ? std::string(kSoundFontFormatName) : "";
  for (const PresetWriter* writer : formats.presets) {
    if (!list.empty()) list += ',';
    list += writer->Name();
  }
  return list;
}

std::string KnownExportFormats() {
  std::string names(kSoundFontFormatName);
  for (const PresetWriter* writer : PresetWriters()) names += ", " + std::string(writer->Name());
  return names;
}

bool WritePresetFile(const PresetWriter& writer, const ProgramPreset& preset, const std::filesystem::path& path) {
  if (preset.zones.empty()) {
    Warn("WARNING - Preset " + preset.program + " not written (seems to contain no valid samples)");
    return false;
  }
  const std::string text = writer.Format(preset);
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file && file.write(text.data(), static_cast<std::streamsize>(text.size())) && file.flush()) return true;
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  Warn(kPresetWriteFailedText);
  return false;
}

std::string DecimalText(double value, int decimals) {
  // Small values keep six significant digits: a sustain level of 10^-7.2 is not 0.
  if (value != 0) decimals = std::clamp(5 - static_cast<int>(std::floor(std::log10(std::abs(value)))), decimals, 20);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string result = text;
  if (result.find('.') != std::string::npos) {
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.') result.pop_back();
  }
  return result == "-0" ? "0" : result;
}
