// The setup wizard, driven with clicks and keys on the offscreen platform.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>

#include "installer/Wizard.h"
#include "tests/installer/InstallerTestSupport.h"

namespace {

using installer::SetupWizard;

const unsigned char kBytes[] = "file";
const unsigned char kLicense[] = "First line\r\nSecond line";
const platform::ResourceEntry kEntries[] = {
    {"INSTFILE", "IDT_APPFILE_1", kBytes, 4},
    {"INSTFILE", "IDT_APPFILE_UNINST", kBytes, 4},
    {"INSTFILE", "IDT_LICENSE_TXT", kLicense, sizeof kLicense - 1},
};
const platform::StringEntry kStrings[] = {
    {50000, "Carvox"}, {50001, "Carvox.exe"}, {40000, "Carvox.exe"}, {47000, "<appdir>"}};

enum class Act { kAccept, kRefuse, kNext, kCancel, kType };
struct Step {
  Act act;
  std::string text = {};
};

// A directory longer than the page takes, in folders of a legal length.
std::string LongDirectory() {
  std::string directory = "C:";
  while (directory.size() < 400) directory += "\\folder";
  return directory;
}

struct WizardCase {
  const char* name;
  std::vector<Step> steps;
  int result;              // 0 while the wizard is still open
  const char* page;        // the page left visible
  std::string message;     // the refusal shown, if any
  std::string installedIn; // where Carvox.exe went, if anywhere
};

class WizardTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    platform::InstallResources(&table_);
  }
  const platform::ResourceTable table_{kEntries, std::size(kEntries), kStrings, std::size(kStrings)};
};

template <typename Widget>
Widget* Find(QWidget& wizard, const char* name) {
  Widget* widget = wizard.findChild<Widget*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

void Perform(SetupWizard& wizard, const Step& step) {
  switch (step.act) {
    case Act::kAccept: QTest::mouseClick(Find<QRadioButton>(wizard, "1002"), Qt::LeftButton); break;
    case Act::kRefuse: QTest::mouseClick(Find<QRadioButton>(wizard, "1003"), Qt::LeftButton); break;
    case Act::kNext: QTest::mouseClick(Find<QPushButton>(wizard, "1008"), Qt::LeftButton); break;
    case Act::kCancel: QTest::mouseClick(Find<QPushButton>(wizard, "2"), Qt::LeftButton); break;
    case Act::kType: {
      QLineEdit* edit = Find<QLineEdit>(wizard, "1005");
      edit->clear();
      QTest::keyClicks(edit, QString::fromStdString(step.text));
      break;
    }
  }
}

const char* VisiblePage(SetupWizard& wizard) {
  for (const char* page : {"IDD_STEP1", "IDD_STEP2", "IDD_STEP3"}) {
    if (Find<QWidget>(wizard, page)->isVisible()) return page;
  }
  return "";
}

TEST_F(WizardTest, PagesFollowTheClicksAndOnlyFinishInstalls) {
  const std::string defaultDir = "C:\\Program Files\\Korvell\\Carvox";
  const std::string hostDir = testsupport::FreshFolder("host") / "Carvox";
  std::string hostDirInWindows = hostDir;
  std::replace(hostDirInWindows.begin(), hostDirInWindows.end(), '/', '\\');
  const WizardCase cases[] = {
      {"cancel on page 1", {{Act::kCancel}}, 2, "", "", ""},
      {"refusing disables Next", {{Act::kAccept}, {Act::kRefuse}, {Act::kNext}}, 0, "IDD_STEP1", "", ""},
      {"cancel on page 2", {{Act::kAccept}, {Act::kNext}, {Act::kCancel}}, 2, "", "", ""},
      {"cancel on page 3", {{Act::kAccept}, {Act::kNext}, {Act::kNext}, {Act::kCancel}}, 2, "", "", ""},
      {"empty directory", {{Act::kAccept}, {Act::kNext}, {Act::kType, ""}, {Act::kNext}}, 0, "IDD_STEP2",
       "Please enter a directory.", ""},
      {"relative directory", {{Act::kAccept}, {Act::kNext}, {Act::kType, "Tools\\Carvox"}, {Act::kNext}}, 0,
       "IDD_STEP2", "Please enter a full path, such as C:\\Program Files\\Korvell\\Carvox.", ""},
      {"comma", {{Act::kAccept}, {Act::kNext}, {Act::kType, "C:\\Tools,Carvox"}, {Act::kNext}}, 0, "IDD_STEP2",
       "The directory may not contain a comma.", ""},
      {"prefilled directory", {{Act::kAccept}, {Act::kNext}, {Act::kNext}, {Act::kNext}}, 1, "", "", defaultDir},
      {"typed host directory",
       {{Act::kAccept}, {Act::kNext}, {Act::kType, hostDir + "/"}, {Act::kNext}, {Act::kNext}, {Act::kNext}}, 1,
       "", "", "Z:" + hostDirInWindows},
      {"319 characters taken",
       {{Act::kAccept}, {Act::kNext}, {Act::kType, LongDirectory()}, {Act::kNext}, {Act::kNext}, {Act::kNext}}, 1,
       "", "", LongDirectory().substr(0, SetupWizard::kDirectoryLength)},
  };
  for (const WizardCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    const std::set<std::string> before = MachineFiles();
    {
      testsupport::ScriptedPrompt prompt;
      installer::InstallerContext context;
      installer::InitContext(context);
      SetupWizard wizard(context);
      wizard.show();
      EXPECT_EQ(Find<QPlainTextEdit>(wizard, "1000")->toPlainText(), "First line\nSecond line");
      for (const Step& step : c.steps) Perform(wizard, step);
      EXPECT_EQ(wizard.isVisible() ? 0 : wizard.result(), c.result);
      EXPECT_STREQ(wizard.isVisible() ? VisiblePage(wizard) : "", c.page);
      EXPECT_EQ(prompt.texts(), c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
      if (c.installedIn.empty()) {
        EXPECT_EQ(MachineFiles().size(), before.size() + 1);  // the staging folder, while the wizard runs
      }
    }
    if (c.installedIn.empty()) {
      EXPECT_EQ(MachineFiles(), before);
    } else {
      EXPECT_EQ(Read(c.installedIn + "\\Carvox.exe"), "file");
      EXPECT_NE(Read(c.installedIn + "\\_install.log"), "(missing)");
    }
    TearDown();
  }
}

}  // namespace
