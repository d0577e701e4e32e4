// The setup wizard, driven with clicks and keys on the offscreen platform.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>

#include "installer/internal/Wizard.h"
#include "tests/installer/InstallerTestSupport.h"

namespace {

using installer::SetupWizard;

const unsigned char kBytes[] = "file";
const unsigned char kLicense[] = "First line\r\nSecond line";
const platform::ResourceEntry kEntries[] = {{"INSTFILE", "IDT_APPFILE_1", kBytes, 4},
                                            {"INSTFILE", "IDT_APPFILE_UNINST", kBytes, 4},
                                            {"INSTFILE", "IDT_LICENSE_TXT", kLicense, sizeof kLicense - 1}};
const platform::StringEntry kStrings[] = {
    {50000, "Carvox"}, {50001, "Carvox.exe"}, {40000, "Carvox.exe"}, {47000, "<appdir>"}};

struct WizardCase {
  const char* name;
  const char* clicks;       // Y(es), N(o), > (Next or Finish), C(ancel), T(ype the directory)
  std::string typed;
  int result;               // 0 while the wizard is still open
  const char* page;         // the page left visible
  std::string message;      // the refusal shown, if any
  std::string installedIn;  // where Carvox.exe went, if anywhere
};

void Perform(SetupWizard& wizard, char click, const std::string& typed) {
  const char* names[] = {"1002", "1003", "1008", "2"};
  if (click == 'T') {
    auto* edit = wizard.findChild<QLineEdit*>("1005");
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(typed));
  } else {
    QTest::mouseClick(wizard.findChild<QWidget*>(names[std::string_view("YN>C").find(click)]), Qt::LeftButton);
  }
}

const char* VisiblePage(SetupWizard& wizard) {
  for (const char* page : {"IDD_STEP1", "IDD_STEP2", "IDD_STEP3"}) {
    if (wizard.isVisible() && wizard.findChild<QWidget*>(page)->isVisible()) return page;
  }
  return "";
}

TEST_F(InstallerTest, WizardPagesFollowTheClicksAndOnlyFinishInstalls) {
  const std::string hostDir = testsupport::FreshFolder("host") / "Carvox";
  std::string hostDirInWindows = "Z:" + hostDir;
  std::replace(hostDirInWindows.begin(), hostDirInWindows.end(), '/', '\\');
  std::string longDir = "C:";  // longer than the page takes, in folders of a legal length
  while (longDir.size() < 400) longDir += "\\folder";
  const WizardCase cases[] = {
      {"cancel on page 1", "C", "", 2, "", "", ""},
      {"refusing disables Next", "YN>", "", 0, "IDD_STEP1", "", ""},
      {"cancel on page 2", "Y>C", "", 2, "", "", ""},
      {"cancel on page 3", "Y>>C", "", 2, "", "", ""},
      {"empty directory", "Y>T>", "", 0, "IDD_STEP2", "Please enter a directory.", ""},
      {"relative directory", "Y>T>", "Tools\\Carvox", 0, "IDD_STEP2",
       "Please enter a full path, such as C:\\Program Files\\Korvell\\Carvox.", ""},
      {"comma", "Y>T>", "C:\\Tools,Carvox", 0, "IDD_STEP2", "The directory may not contain a comma.", ""},
      {"prefilled directory", "Y>>>", "", 1, "", "", "C:\\Program Files\\Korvell\\Carvox"},
      {"typed host directory", "Y>T>>", hostDir + "/", 1, "", "", hostDirInWindows},
      {"319 characters taken", "Y>T>>", longDir, 1, "", "", longDir.substr(0, SetupWizard::kDirectoryLength)},
  };
  const platform::ResourceTable table{kEntries, std::size(kEntries), kStrings, std::size(kStrings)};
  for (const WizardCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    platform::InstallResources(&table);
    const std::set<std::string> before = MachineFiles();
    {
      testsupport::ScriptedPrompt prompt;
      installer::InstallerContext context;
      installer::InitContext(context);
      SetupWizard wizard(context);
      wizard.show();
      EXPECT_EQ(wizard.findChild<QPlainTextEdit*>("1000")->toPlainText(), "First line\nSecond line");
      for (const char* click = c.clicks; *click != '\0'; ++click) Perform(wizard, *click, c.typed);
      EXPECT_EQ(wizard.isVisible() ? 0 : wizard.result(), c.result);
      EXPECT_STREQ(VisiblePage(wizard), c.page);
      EXPECT_EQ(prompt.texts(), c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
      EXPECT_TRUE(!c.installedIn.empty() || MachineFiles().size() == before.size() + 1);  // the staging folder
    }
    if (c.installedIn.empty()) {
      EXPECT_EQ(MachineFiles(), before);
    } else {
      EXPECT_EQ(Read(c.installedIn + "\\Carvox.exe"), "file");
    }
    TearDown();
  }
}

}  // namespace
