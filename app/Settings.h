#pragma once
// The settings of the main program, kept under HKEY_LOCAL_MACHINE
// "Software\\Korvell\\Carvox", and the record of the virtual drives the window mounted. Strings are read into a 256-byte buffer (so at most 255
// characters) and DWORDs into 4 bytes; a value that is missing, longer than its buffer
// or of another type counts as missing, and its default is written over it.

#include <string>
#include <vector>

inline constexpr const char* kSettingsKey = "Software\\Korvell\\Carvox";
inline constexpr unsigned kStringSettingBuffer = 256;

// One sound output driver as the preferences offer it.
struct SoundDriverChoice {
  std::string description;
  bool hasGuid = false;  // false: the primary-driver entry, which is not offered
};

// Where the settings and the preferences find the sound output drivers, in the
// playback engine's order. The engine's driver list fills it.
class SoundDriverSource {
 public:
  virtual ~SoundDriverSource() = default;
  virtual std::vector<SoundDriverChoice> Drivers() const = 0;
};

// The driver a first run stores: the first with a GUID, else the first entry, else ""
// (no driver is known at all).
std::string DefaultSoundDriver(const std::vector<SoundDriverChoice>& drivers);

// The settings value: the main frame owns it, the Preferences dialog edits it.
struct CarvoxSettings {
  std::string m_dsoundDriver;
  std::string m_lastExportDir;
  int m_normalizeExport = 0;
  int m_doubleclickPlaysLoop = 0;
  // The main window's geometry and its splitter's state, as Qt saves them, in base64
  // ("" the first time: the window takes its default size).
  std::string m_windowGeometry;
  std::string m_splitterState;
};

// Creates the key when missing and reads the values; each one missing gets its
// default written. When the key cannot be made, the defaults stay in memory only.
CarvoxSettings LoadSettings(const std::vector<SoundDriverChoice>& drivers);
// The preferences' OK: DSound_driver, normalize_Export and doubleclick_plays_loop, into
// the key if it exists.
void SaveChoices(const CarvoxSettings& settings);
// At shutdown: Last_exportDir, Window_geometry and Splitter_state, into the key if it
// exists.
void SaveWindowState(const CarvoxSettings& settings);

// The virtual drives a window mounted, recorded under the settings key's "Mounted"
// subkey as each mount happens, so that the drives of a window that was killed can be
// found at the next start. Each value is named by the letter and holds "PID IMAGE".
struct MountRecord {
  char letter = 0;
  long process = 0;
  std::string image;
};
void RecordMount(const MountRecord& mount);
void ForgetMount(char letter);
std::vector<MountRecord> RecordedMounts();
