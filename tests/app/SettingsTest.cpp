// The four settings in the registry and the Preferences dialog that changes them.
#include <gtest/gtest.h>

#include <QComboBox>

#include "app/internal/CPreferencesDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/VirtualDrives.h"

namespace {

using apptest::ReadStored;
using platform::REG_DWORD;
using platform::REG_SZ;
using testsupport::SetMachineString;

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { apptest::DeleteSettings(); }
};

TEST_F(SettingsTest, AFirstRunWritesEveryDefault) {
  struct Case {
    std::vector<SoundDriverChoice> drivers;
    const char* stored;
  };
  const Case cases[] = {{apptest::TwoDevices().Drivers(), "Speakers (HD Audio)"},
                        {{{"Primary Sound Driver", false}}, "Primary Sound Driver"},
                        {{}, ""}};
  for (const Case& c : cases) {
    apptest::DeleteSettings();
    const CarvoxSettings settings = LoadSettings(c.drivers);
    EXPECT_EQ(settings.m_dsoundDriver, c.stored);
    EXPECT_EQ(ReadStored("DSound_driver").text, c.stored);
    EXPECT_EQ(ReadStored("Last_exportDir").type, REG_SZ);
    EXPECT_EQ(ReadStored("Last_exportDir").text, "");
    EXPECT_EQ(ReadStored("normalize_Export").type, REG_DWORD);
    EXPECT_EQ(ReadStored("doubleclick_plays_loop").number, 0u);
    EXPECT_EQ(ReadStored("Preset_formats").text, "sf2");
  }
}

// Strings are read into 256 bytes by the size returned: 255 characters and a value
// stored without its NUL survive; longer values and other types count as missing and
// get the default written over them.
TEST_F(SettingsTest, StringsAreReadByTheSizeReturnedWithinTheirBuffer) {
  struct Case {
    platform::DWORD type;
    std::string bytes;
    std::string read;
  };
  const std::string longest(255, 'x');
  const Case cases[] = {{REG_SZ, longest + '\0', longest},
                        {REG_SZ, std::string(256, 'x') + '\0', ""},
                        {REG_SZ, "/home/music", "/home/music"},
                        {REG_SZ, "/tmp\0garbage", "/tmp"},
                        {REG_DWORD, std::string("\x01\x00\x00\x00", 4), ""}};
  for (const Case& c : cases) {
    apptest::DeleteSettings();
    testsupport::SetMachineValue(kSettingsKey, "Last_exportDir", c.type, {c.bytes.begin(), c.bytes.end()});
    EXPECT_EQ(LoadSettings({}).m_lastExportDir, c.read) << c.bytes.size();
    if (c.read.empty()) {
      EXPECT_EQ(ReadStored("Last_exportDir").type, REG_SZ);
    }
  }
  SetMachineString(kSettingsKey, "normalize_Export", "1");
  EXPECT_EQ(LoadSettings({}).m_normalizeExport, 0);
  EXPECT_EQ(ReadStored("normalize_Export").type, REG_DWORD);
}

struct DialogCase {
  const char* name;
  int pickDriver;  // index in the combo, -1: leave it
  bool toggleNormalize;
  bool ok;
  const char* storedDriver;
  bool restartMessage;
};

class PreferencesTest : public testing::TestWithParam<DialogCase> {};

// Stored: the first device, normalize 0, double-click 5.
TEST_P(PreferencesTest, ShowsTheSettingsAndStoresOnlyOnOk) {
  const DialogCase& c = GetParam();
  apptest::DeleteSettings();
  SetMachineString(kSettingsKey, "DSound_driver", "Speakers (HD Audio)");
  testsupport::SetMachineDword(kSettingsKey, "doubleclick_plays_loop", 5);
  const apptest::FixedDrivers drivers = apptest::TwoDevices();
  testsupport::ScriptedPrompt prompt;
  CarvoxSettings settings = LoadSettings(drivers.Drivers());
  CPreferencesDlg dialog(settings, &drivers, nullptr);
  QStringList offered;
  QString doubleclick;
  apptest::WhenModal([&](QWidget*) {
    for (int i = 0; i < dialog.driverCombo()->count(); ++i) offered << dialog.driverCombo()->itemText(i);
    doubleclick = dialog.doubleclickCombo()->currentText();
    EXPECT_EQ(dialog.driverCombo()->currentIndex(), 0);
    if (c.pickDriver >= 0) dialog.driverCombo()->setCurrentIndex(c.pickDriver);
    EXPECT_TRUE(dialog.formatChecks()[0]->isChecked()) << "the bank, by default";
    if (c.toggleNormalize) {
      dialog.normalizeCheck()->toggle();
      dialog.formatChecks()[2]->toggle();  // Decent Sampler
    }
    c.ok ? dialog.accept() : dialog.reject();
  });
  dialog.DoModal();
  EXPECT_EQ(offered, (QStringList{"Speakers (HD Audio)", "USB Headset"}));
  EXPECT_EQ(doubleclick, "looped");
  EXPECT_EQ(settings.m_dsoundDriver, c.storedDriver);
  EXPECT_EQ(ReadStored("DSound_driver").text, c.storedDriver);
  EXPECT_EQ(ReadStored("doubleclick_plays_loop").number, c.ok ? 1u : 5u);
  EXPECT_EQ(ReadStored("normalize_Export").number, c.ok && c.toggleNormalize ? 1u : 0u);
  EXPECT_EQ(ReadStored("Preset_formats").text, c.ok && c.toggleNormalize ? "sf2,dspreset" : "sf2");
  EXPECT_EQ(prompt.messages().size(), c.restartMessage ? 1u : 0u);
  if (c.restartMessage) {
    EXPECT_EQ(prompt.texts().front(), "You have to restart the program\nfor your changes to become effective");
    EXPECT_EQ(prompt.messages().front().type, platform::MB_ICONINFORMATION);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, PreferencesTest,
    testing::Values(DialogCase{"NewDriver", 1, false, true, "USB Headset", true},
                    DialogCase{"OnlyNormalize", -1, true, true, "Speakers (HD Audio)", false},
                    DialogCase{"Cancel", 1, true, false, "Speakers (HD Audio)", false}),
    [](const testing::TestParamInfo<DialogCase>& info) { return info.param.name; });

// The stored driver selects the first entry it begins, case ignored; OK with no entry
// selected keeps the stored driver.
TEST_F(SettingsTest, TheStoredDriverIsFoundByPrefixAndKeptWhenGone) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"usb", 1, "USB Headset"}, {"Old Card", -1, "Old Card"}, {"", 0, "Speakers (HD Audio)"}};
  for (const auto& [stored, selected, kept] : cases) {
    SetMachineString(kSettingsKey, "DSound_driver", stored);
    const apptest::FixedDrivers drivers = apptest::TwoDevices();
    testsupport::ScriptedPrompt prompt;
    CarvoxSettings settings = LoadSettings(drivers.Drivers());
    CPreferencesDlg dialog(settings, &drivers, nullptr);
    int shown = -2;
    apptest::WhenModal([&](QWidget*) {
      shown = dialog.driverCombo()->currentIndex();
      dialog.accept();
    });
    dialog.DoModal();
    EXPECT_EQ(shown, selected) << stored;
    EXPECT_EQ(ReadStored("DSound_driver").text, kept);
  }
}

}  // namespace
