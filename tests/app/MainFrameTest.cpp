// The main window over disc images: Refresh and its failures, the two views (rows,
// data words, sort toggles, context menus, command enabling), export, and start-up.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "akai/ImageFileSource.h"
#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "app/CPreferencesDlg.h"
#include "app/Resource.h"
#include "export/SoundBankBuilder.h"
#include "platform/registry/SystemInfo.h"
#include "tests/akai/reader/SourceDoubles.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"
#include "tests/support/VirtualDrives.h"
#include "tools/akaiimage/AkaiHeaderWriter.h"
#include "tools/akaiimage/AkaiImageBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace akaiimage;
using apptest::Drums;

QStringList Column(const QTreeWidget& view, int column) {
  QStringList texts;
  for (int i = 0; i < view.topLevelItemCount(); ++i) texts << view.topLevelItem(i)->text(column);
  return texts;
}

// The captions a dialog named `name` shows, each time its progress bar moves.
class DialogWatch : public QObject {
 public:
  // `whenShown` runs each time the dialog is shown.
  explicit DialogWatch(const QString& name, std::function<void()> whenShown = {})
      : name_(name), whenShown_(std::move(whenShown)) {
    QApplication::instance()->installEventFilter(this);
  }
  ~DialogWatch() override { QApplication::instance()->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && widget != nullptr && widget->objectName() == name_) {
      captions << widget->windowTitle();
      if (whenShown_) whenShown_();
    }
    return false;
  }
  QStringList captions;

 private:
  QString name_;
  std::function<void()> whenShown_;
};

class MainFrameTest : public testing::Test {
 protected:
  MainFrameTest()
      : image_(testsupport::FreshFolder("frame") / "drums.img"),
        layout_(WriteImage(Drums(), image_)),
        source_(image_),
        counting_(source_) {
    frame_.Create();
    frame_.AttachDisc(counting_);
  }

  CContentsView& contents() { return *frame_.GetContentsView(); }
  CItemView& items() { return *frame_.GetItemView(); }
  void SelectVolume(const QString& name) {
    contents().setCurrentItem(contents().findItems(name, Qt::MatchExactly).front());
  }
  void SelectItems(const std::vector<int>& rows) {
    items().clearSelection();
    for (int row : rows) items().topLevelItem(row)->setSelected(true);
  }
  QStringList MenuTexts() {
    items().ShowContextMenu(QPoint(0, 0));
    QStringList texts;
    for (const QAction* entry : items().contextMenu()->actions()) texts << entry->text();
    items().contextMenu()->close();
    return texts;
  }

  // Answers the window's folder browser with `folder`.
  static void ChooseFolder(const fs::path& folder) {
    apptest::WhenModal([folder](QWidget* window) {
      auto* browser = qobject_cast<QFileDialog*>(window);
      ASSERT_NE(browser, nullptr);
      EXPECT_EQ(browser->windowTitle(), "Select the destination folder");
      browser->setDirectory(QString::fromStdString(folder.string()));
      static_cast<QDialog*>(browser)->accept();
    });
  }

  fs::path image_;
  ImageLayout layout_;
  ImageFileSource source_;
  testsupport::CountingSource counting_;
  testsupport::ScriptedPrompt prompt_;
  CMainFrame frame_{apptest::Engine(), apptest::BankBuilder()};
};

TEST_F(MainFrameTest, RefreshListsEveryVolumeWithItsDataWord) {
  frame_.OnRefresh();
  EXPECT_EQ(Column(contents(), 0), (QStringList{"DRUMS", "BASS", "PADS"}));
  EXPECT_EQ(Column(contents(), 1), (QStringList{"Partition A", "Partition A", "Partition B"}));
  const uint32_t words[] = {0x00000000, 0x00010001, 0x01000002};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(CContentsView::DataWord(contents().topLevelItem(row)), words[row]);
  EXPECT_EQ(contents().GetSelectedPartition(), 255);
  EXPECT_TRUE(prompt_.messages().empty());
}

TEST_F(MainFrameTest, BothSortTogglesReverseEachClick) {
  frame_.OnRefresh();
  const bool bankAscending = g_contentsSortToggle[0] != 0;
  contents().SortByColumn(0);
  const QStringList ascending{"BASS", "DRUMS", "PADS"};
  const QStringList descending{"PADS", "DRUMS", "BASS"};
  EXPECT_EQ(Column(contents(), 0), bankAscending ? ascending : descending);
  contents().SortByColumn(0);
  EXPECT_EQ(Column(contents(), 0), bankAscending ? descending : ascending);
  const bool partitionDescending = g_contentsSortToggle[1] != 0;
  contents().SortByColumn(1);
  EXPECT_EQ(Column(contents(), 1).front(), partitionDescending ? "Partition B" : "Partition A");

  SelectVolume("DRUMS");
  const bool sizeDescending = g_itemSortToggle[CItemView::kSize] != 0;
  items().SortByColumn(CItemView::kSize);
  EXPECT_EQ(Column(items(), 0).front(), sizeDescending ? "KICK" : "KIT");
  items().SortByColumn(CItemView::kSize);
  EXPECT_EQ(Column(items(), 0).front(), sizeDescending ? "KIT" : "KICK");
}

TEST_F(MainFrameTest, AVolumeListsItsItemsWithTheirCells) {
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  ASSERT_EQ(Column(items(), 0), (QStringList{"KICK", "KIT", "SNARE"}));
  const QTreeWidgetItem& kick = *items().topLevelItem(0);
  // 44,100 frames at 44,100 Hz last one second.
  const QStringList kickCells{"KICK", "86.3 kB", "Sample", "44100 Hz", " 1.000s", "22047-44096", "C3 (60)"};
  for (int column = 0; column < CItemView::kColumns; ++column) EXPECT_EQ(kick.text(column), kickCells[column]);
  const QTreeWidgetItem& kit = *items().topLevelItem(1);
  EXPECT_EQ(kit.text(CItemView::kType), "Program");
  EXPECT_EQ(kit.text(CItemView::kFreq) + kit.text(CItemView::kLength) + kit.text(CItemView::kLoop) +
                kit.text(CItemView::kKey),
            "");
  EXPECT_EQ(kick.toolTip(CItemView::kSize),
            "KICK: 44100 Hz, 44100 frames (1.000s), root key C3 (60), loop from frame 22047 to 44096");
  EXPECT_EQ(items().topLevelItem(2)->text(CItemView::kLoop), "");
  const uint32_t words[] = {0x10000, 0x20001, 0x10002};
  for (int row = 0; row < 3; ++row) EXPECT_EQ(CItemView::DataWord(items().topLevelItem(row)), words[row]);
}

TEST_F(MainFrameTest, ContextMenusAndPlayFollowTheSelection) {
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  struct Case {
    std::vector<int> rows;
    QStringList menu;
    bool play;
  };
  const Case cases[] = {{{0}, {"Play", "Play looped", "", "Export..."}, true},
                        {{1}, {"Export..."}, false},
                        {{0, 2}, {"Export..."}, false}};
  for (const Case& c : cases) {
    SelectItems(c.rows);
    EXPECT_EQ(MenuTexts(), c.menu);
    EXPECT_EQ(frame_.action(ID_SAMPLE_PLAY)->isEnabled(), c.play);
    EXPECT_EQ(frame_.action(ID_SAMPLE_LOOP)->isEnabled(), c.play);
    EXPECT_TRUE(frame_.action(ID_FILE_EXPORT)->isEnabled());
  }
  items().clearSelection();
  const QMenu* before = items().contextMenu();
  items().ShowContextMenu(QPoint(0, 0));
  EXPECT_EQ(items().contextMenu(), before);  // nothing selected: no menu
  EXPECT_FALSE(frame_.action(ID_FILE_EXPORT)->isEnabled());
  EXPECT_TRUE(frame_.action(ID_SAMPLE_STOP)->isEnabled());
}

// A disc that is not AKAI keeps the old rows; a partition table that cannot be read
// is a read error.
TEST_F(MainFrameTest, RefreshFailuresKeepTheViews) {
  frame_.OnRefresh();
  const struct {
    uint64_t bytes;
    bool signature;
    const char* message;
  } cases[] = {{64 * 1024, false, "This CD doesn't seem to be a valid AKAI S1000 or S3000 CD."},
               {2048, true, "Error while trying to read the CD."}};
  for (const auto& c : cases) {
    DiscDescription disc = Drums();
    disc.writeSignature = c.signature;
    disc.imageBytes = c.bytes;
    WriteImage(disc, image_);  // the same file, as a disc changed in the drive
    frame_.OnRefresh();
    EXPECT_EQ(prompt_.texts().back(), c.message);
    EXPECT_EQ(prompt_.messages().back().type, platform::MB_ICONSTOP);
    EXPECT_EQ(Column(contents(), 0), (QStringList{"DRUMS", "BASS", "PADS"}));
  }
}

TEST_F(MainFrameTest, ExportWritesTheSelectionIntoTheChosenFolder) {
  apptest::BankBuilder().LoadEngine();
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  SelectItems({0, 1, 2});
  const fs::path folder = testsupport::FreshFolder("export");
  ChooseFolder(folder);
  DialogWatch progress("ExportProgressDialog");
  frame_.ExportSelection();
  EXPECT_EQ(progress.captions, (QStringList{"Exporting KIT..."}));
  std::set<std::string> written;
  for (const auto& entry : fs::directory_iterator(folder)) written.insert(entry.path().filename());
  EXPECT_EQ(written, (std::set<std::string>{"kick.wav", "kit.sf2", "snare.wav"}));
  EXPECT_EQ(frame_.settings().m_lastExportDir, folder.string());
  EXPECT_EQ(frame_.statusText().toStdString(), "3 files written to " + folder.string());
  for (QWidget* window : QApplication::topLevelWidgets()) EXPECT_NE(window->objectName(), "ExportProgressDialog");
  EXPECT_TRUE(prompt_.messages().empty()) << prompt_.texts().front();

  // A cancelled browser changes nothing.
  apptest::WhenModal([](QWidget* window) { qobject_cast<QDialog*>(window)->reject(); });
  frame_.settings().m_lastExportDir = "/elsewhere";
  frame_.ExportSelection();
  EXPECT_EQ(frame_.settings().m_lastExportDir, "/elsewhere");
}

// Every read that fails is reported, and what can still be read is listed, played or
// exported.
TEST_F(MainFrameTest, ReadFailuresAreReportedAndTheRestGoesOn) {
  const auto fail = [this](uint64_t block) { counting_.failingBlocks = {static_cast<uint32_t>(block)}; };
  const PartitionLayout& a = layout_.partitions[0];
  const std::vector<FileLayout>& drums = a.volumes[0].files;
  frame_.OnRefresh();
  // B's first block failing after the partition table was read: its volumes are missing.
  fail(layout_.partitions[1].absoluteStart);
  frame_.FillContents();
  EXPECT_EQ(Column(contents(), 0), (QStringList{"DRUMS", "BASS"}));
  EXPECT_EQ(prompt_.texts(), (std::vector<std::string>{"Error while trying to read the CD."}));
  EXPECT_EQ(frame_.statusText(), "Could not read partition B: its volumes are not listed");

  fail(drums[2].absoluteBlocks[0]);  // SNARE's header
  SelectVolume("DRUMS");
  ASSERT_EQ(Column(items(), 0), (QStringList{"KICK", "KIT", "SNARE"}));
  for (int column = 1; column < CItemView::kColumns; ++column) EXPECT_EQ(items().topLevelItem(2)->text(column), "");
  EXPECT_EQ(frame_.statusText(), "Could not read the header of sample SNARE");

  fail(drums[0].absoluteBlocks[1]);  // KICK's data
  SelectItems({0});
  frame_.OnPlay();
  EXPECT_EQ(prompt_.texts().back(), "Error while trying to read the CD.");
  const fs::path folder = testsupport::FreshFolder("failed-export");
  ChooseFolder(folder);
  frame_.ExportSelection();
  EXPECT_EQ(frame_.statusText(), "Could not load sample KICK: not exported");
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(prompt_.texts().back(), "0 files written to " + folder.string() +
                                        ".\n\nNot written:\nKICK: could not be loaded (Error while trying to read the CD.)\n");

  fail(a.absoluteStart + a.volumes[1].dirBlock);  // BASS's directory
  SelectVolume("BASS");
  EXPECT_EQ(items().topLevelItemCount(), 0);
  EXPECT_EQ(prompt_.texts().size(), 4u);
}

// What a screen reader announces: every control of the window and of Preferences has
// a name and a description.
TEST_F(MainFrameTest, EveryControlHasAnAccessibleNameAndDescription) {
  frame_.OnRefresh();
  EXPECT_EQ(apptest::ControlsWithoutAccessibleText(frame_), QStringList{});
  CPreferencesDlg preferences(frame_.settings(), nullptr, &frame_);
  EXPECT_EQ(apptest::ControlsWithoutAccessibleText(preferences), QStringList{});
}

// The keys are the menus' own: shown beside the command, and working from the window.
TEST_F(MainFrameTest, ShortcutsAreShownInTheMenusAndWork) {
  const std::pair<unsigned, const char*> keys[] = {{ID_SAMPLE_PLAY, "Return"},     {ID_SAMPLE_STOP, "Esc"},
                                                   {ID_SAMPLE_PLAY_OR_STOP, "Space"}, {ID_FILE_MOUNT_IMAGE, "Ctrl+O"},
                                                   {ID_FILE_EXPORT, "Ctrl+E"},    {ID_APP_EXIT, "Ctrl+Q"},
                                                   {ID_FILE_CLOSE_DISC, "Ctrl+W"}};
  QList<QAction*> inMenus;
  for (const QMenu* menu : frame_.menuBar()->findChildren<QMenu*>()) inMenus += menu->actions();
  for (const auto& [id, key] : keys) {
    EXPECT_EQ(frame_.action(id)->shortcut().toString(), key);
    EXPECT_TRUE(inMenus.contains(frame_.action(id))) << key;
  }
  frame_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
  frame_.OnRefresh();
  QTest::keyClick(&items(), Qt::Key_W, Qt::ControlModifier);
  EXPECT_EQ(contents().topLevelItemCount(), 0);
}

// The window opens at least 900 x 560 and then as it was left, splitter included.
TEST(WindowState, SizeAndSplitterAreKept) {
  apptest::DeleteSettings();
  {
    CMainFrame frame(apptest::Engine(), apptest::BankBuilder());
    frame.Create();
    frame.show();
    EXPECT_GE(frame.width(), 900);
    EXPECT_GE(frame.height(), 560);
    frame.resize(1000, 700);
    frame.splitter()->setSizes({300, 700});
  }
  CMainFrame frame(apptest::Engine(), apptest::BankBuilder());
  frame.Create();
  frame.show();
  EXPECT_EQ(frame.size(), QSize(1000, 700));
  EXPECT_EQ(frame.splitter()->sizes().front(), 300);
}

// The filter narrows the rows by name as one types, and what it hides is not selected.
TEST_F(MainFrameTest, TheFilterNarrowsTheRowsByName) {
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  SelectItems({2});
  const auto shown = [this] {
    QStringList names;
    for (int i = 0; i < items().topLevelItemCount(); ++i) {
      if (!items().topLevelItem(i)->isHidden()) names << items().topLevelItem(i)->text(0);
    }
    return names;
  };
  frame_.filterBox()->setText("ki");
  EXPECT_EQ(shown(), (QStringList{"KICK", "KIT"}));
  EXPECT_TRUE(items().SelectedRows().empty());
  EXPECT_FALSE(frame_.action(ID_FILE_EXPORT)->isEnabled());
  SelectVolume("BASS");
  EXPECT_EQ(shown(), QStringList{});
  frame_.filterBox()->clear();
  EXPECT_EQ(shown(), QStringList{"SUB"});
}

// A disc image dropped while a bank is built is refused: the export goes on reading the
// disc it started on.
TEST_F(MainFrameTest, NoDiscIsOpenedWhileAnExportRuns) {
  apptest::BankBuilder().LoadEngine();
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  SelectItems({1});
  ChooseFolder(testsupport::FreshFolder("busy-export"));
  QString refusal;
  DialogWatch progress("ExportProgressDialog", [&] {
    frame_.MountImage(QString::fromStdString(image_.string()));
    refusal = frame_.statusText();
  });
  frame_.ExportSelection();
  EXPECT_EQ(refusal, "A disc image cannot be opened while an export is running.");
  EXPECT_TRUE(prompt_.messages().empty());
  EXPECT_TRUE(aspi::ReadDriveTable().drives.empty());
  EXPECT_FALSE(frame_.exporting());
}

// A drag carries the files an export writes, made in a folder of its own.
TEST_F(MainFrameTest, ADragCarriesTheSelectionAsFiles) {
  apptest::BankBuilder().LoadEngine();
  frame_.OnRefresh();
  SelectVolume("DRUMS");
  SelectItems({0, 1});
  const std::unique_ptr<QMimeData> data = frame_.MakeDragData();
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->hasFormat("text/uri-list"));
  QStringList names;
  for (const QUrl& url : data->urls()) {
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_GT(fs::file_size(url.toLocalFile().toStdString()), 44u);
    names << url.fileName();
  }
  EXPECT_EQ(names, (QStringList{"kick.wav", "kit.sf2"}));
  const std::unique_ptr<QMimeData> again = frame_.MakeDragData();
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again->urls().front(), data->urls().front());
}

// After a failed drive discovery there is no volume reader: Refresh says so, the other
// commands do nothing.
TEST(NoDisc, RefreshSaysSoAndNothingElseHappens) {
  testsupport::ScriptedPrompt prompt;
  CMainFrame frame(apptest::Engine(), apptest::BankBuilder());
  frame.Create();
  frame.OnRefresh();
  frame.FillContents();
  frame.ListVolume(0, 0);
  frame.OnPlay();
  frame.ExportSelection();
  EXPECT_EQ(prompt.texts(), (std::vector<std::string>{"Could not read CD."}));
  EXPECT_EQ(frame.GetContentsView()->topLevelItemCount() + frame.GetItemView()->topLevelItemCount(), 0);
}

// Windows 95, 98, 2000 and XP start; NT 4.0 shows a plain box and ends.
TEST(StartUp, TheWindowsVersionDecides) {
  setenv("CARVOX_SPLASH_MS", "0", 1);
  const struct {
    platform::DWORD platformId, major, minor;
    bool runs;
  } cases[] = {{1, 4, 0, true}, {1, 4, 10, true}, {2, 5, 0, true}, {2, 5, 1, true}, {2, 4, 0, false}};
  for (const auto& c : cases) {
    testsupport::SetMachineDword(platform::kVersionKey, "PlatformId", c.platformId);
    testsupport::SetMachineDword(platform::kVersionKey, "MajorVersion", c.major);
    testsupport::SetMachineDword(platform::kVersionKey, "MinorVersion", c.minor);
    testsupport::ScriptedPrompt prompt;
    CMainFrame frame(apptest::Engine(), apptest::BankBuilder());
    frame.Create();
    EXPECT_EQ(frame.InitDevices(), c.runs) << c.platformId << "." << c.major;
    EXPECT_EQ(prompt.texts(), c.runs ? std::vector<std::string>{}
                                     : std::vector<std::string>{"This product requires Microsoft Windows95 or Windows98"});
    if (!c.runs) {
      EXPECT_EQ(prompt.messages().front().type, platform::MB_OK);
    }
  }
  platform::RegDeleteKeyA(platform::HKEY_LOCAL_MACHINE, platform::kVersionKey);
}

}  // namespace
