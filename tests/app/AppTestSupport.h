#pragma once
// What the main program's tests share: the settings key, a fixed list of sound
// drivers, and modal dialogs worked from inside their own event loop.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "audio/PlaybackEngine.h"
#include "export/SoundBankBuilder.h"
#include "platform/registry/Registry.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace apptest {

// The playback engine and the bank builder the windows of a test use, as the
// application owns them in the program.
inline PlaybackEngine& Engine() {
  static PlaybackEngine engine;
  return engine;
}
inline SoundBankBuilder& BankBuilder() {
  static SoundBankBuilder builder;
  return builder;
}

class FixedDrivers : public SoundDriverSource {
 public:
  explicit FixedDrivers(std::vector<SoundDriverChoice> drivers) : drivers_(std::move(drivers)) {}
  std::vector<SoundDriverChoice> Drivers() const override { return drivers_; }

 private:
  std::vector<SoundDriverChoice> drivers_;
};

// The primary-driver entry without GUID, then two devices.
inline FixedDrivers TwoDevices() {
  return FixedDrivers({{"Primary Sound Driver", false}, {"Speakers (HD Audio)", true}, {"USB Headset", true}});
}

inline akaiimage::FileEntry SampleEntry(const std::string& name, uint32_t words, uint16_t rate, bool looped) {
  akaiimage::SampleDescription sample;
  sample.name = name;
  sample.sampleRate = rate;
  sample.words.assign(words, 1000);
  if (looped) sample.loops.push_back({.loopAt = words - 1, .length = words / 2, .time = 1});
  akaiimage::FileEntry file;
  file.name = name;
  file.data = akaiimage::WriteSampleFile(sample);
  return file;
}

// Partition A: DRUMS (KICK: 88,350 bytes at 44,100 Hz with a loop; KIT; SNARE) and BASS;
// partition B: PADS.
inline akaiimage::DiscDescription Drums() {
  akaiimage::ProgramDescription kit;
  kit.name = "KIT";
  kit.keygroups.push_back({.zones = {{.sampleName = "KICK"}}});
  akaiimage::FileEntry program;
  program.name = "KIT";
  program.type = 'p';
  program.data = akaiimage::WriteProgramFile(kit);
  const akaiimage::VolumeEntry drums{.name = "DRUMS",
                          .files = {SampleEntry("KICK", 44100, 44100, true), program,
                                    SampleEntry("SNARE", 1000, 22050, false)}};
  akaiimage::DiscDescription disc;
  disc.partitions = {{60, {drums, {.name = "BASS", .files = {SampleEntry("SUB", 100, 32000, false)}}}},
                     {30, {{.name = "PADS", .files = {SampleEntry("AIR", 100, 44100, false)}}}}};
  return disc;
}

inline void DeleteSettings() {
  platform::RegDeleteKeyA(platform::HKEY_LOCAL_MACHINE, (std::string(kSettingsKey) + "\\Mounted").c_str());
  platform::RegDeleteKeyA(platform::HKEY_LOCAL_MACHINE, kSettingsKey);
}

// The value as stored: its type and bytes (strings without their NUL).
struct Stored {
  platform::DWORD type = platform::REG_NONE;
  std::string text;
  platform::DWORD number = 0;
};

inline Stored ReadStored(const char* name) {
  platform::HKEY key = nullptr;
  Stored stored;
  if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, kSettingsKey, 0, platform::KEY_READ, &key) != 0) {
    return stored;
  }
  char data[1024] = {};
  platform::DWORD size = sizeof data;
  platform::RegQueryValueExA(key, name, nullptr, &stored.type, reinterpret_cast<platform::BYTE*>(data), &size);
  platform::RegCloseKey(key);
  if (stored.type == platform::REG_DWORD) std::memcpy(&stored.number, data, sizeof stored.number);
  if (stored.type == platform::REG_SZ) stored.text = data;
  return stored;
}

// The controls below `root` (buttons, combo boxes, line edits, item views) that a
// screen reader would announce without a name or a description, by class name.
inline QStringList ControlsWithoutAccessibleText(QWidget& root) {
  QStringList missing;
  for (QWidget* widget : root.findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(widget) != nullptr || qobject_cast<QComboBox*>(widget) != nullptr ||
                         qobject_cast<QLineEdit*>(widget) != nullptr ||
                         (qobject_cast<QAbstractItemView*>(widget) != nullptr && qobject_cast<QHeaderView*>(widget) == nullptr);
    if (!control || !widget->isVisibleTo(&root)) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (accessible == nullptr || accessible->text(QAccessible::Name).isEmpty() ||
        accessible->text(QAccessible::Description).isEmpty()) {
      missing << QString(widget->metaObject()->className()) + " " + (accessible ? accessible->text(QAccessible::Name) : "");
    }
  }
  return missing;
}

// Runs `whileOpen` once the next modal window's event loop runs (the window is then
// QApplication::activeModalWidget()).
inline void WhenModal(std::function<void(QWidget*)> whileOpen) {
  QTimer::singleShot(0, [whileOpen] { whileOpen(QApplication::activeModalWidget()); });
}

}  // namespace apptest
