#pragma once
// The preset formats the export writes beside the SoundFont bank: one interface, one
// writer per format (each in its own file), found by the name `--format` takes. A
// writer turns the description of a program (ProgramPreset.h) into the text of one
// file that refers to the program's WAV files beside it by relative path.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "export/ProgramPreset.h"

class PresetWriter {
 public:
  virtual ~PresetWriter() = default;
  // The format's name as lists of formats give it ("sfz").
  virtual std::string_view Name() const = 0;
  // The file name extension, with its dot (".sfz").
  virtual std::string_view Extension() const = 0;
  // The whole text of the preset file.
  virtual std::string Format(const ProgramPreset& preset) const = 0;
};

// The writers of the two formats (SfzWriter.cpp, DecentSamplerWriter.cpp).
const PresetWriter& SfzPresetWriter();
const PresetWriter& DecentSamplerPresetWriter();

// Every preset writer, in the order the formats are listed.
const std::vector<const PresetWriter*>& PresetWriters();

// The formats of one export: the SoundFont bank and the preset writers.
struct ExportFormats {
  bool soundFont = true;
  std::vector<const PresetWriter*> presets;

  bool Any() const { return soundFont || !presets.empty(); }
};

// The name of the SoundFont format in lists of formats.
inline constexpr std::string_view kSoundFontFormatName = "sf2";

// Formats from a comma list of names ("sf2,sfz,dspreset"; blanks around names and
// repeated names are allowed). Throws std::invalid_argument naming an unknown or
// empty name and the known ones.
ExportFormats ParseExportFormats(std::string_view list);
// The comma list that ParseExportFormats reads back to `formats`.
std::string ExportFormatList(const ExportFormats& formats);
// "sf2, sfz, dspreset": the known names, for help texts.
std::string KnownExportFormats();

inline constexpr const char* kPresetWriteFailedText = "Could not write preset file";

// Writes the preset file at `path`, replacing any file there, and returns true. A
// preset without zones plays nothing and is not written: "WARNING - Preset NAME not
// written (seems to contain no valid samples)". A file that cannot be written is
// removed again: kPresetWriteFailedText. Both are warned of (Warn) and return false.
bool WritePresetFile(const PresetWriter& writer, const ProgramPreset& preset, const std::filesystem::path& path);

// A plain decimal number (no exponent) with `decimals` places, or more for small
// values so that six significant digits remain; trailing zeros dropped: 0.5, 12,
// -3.25, 0.0000000630957.
std::string DecimalText(double value, int decimals = 6);
