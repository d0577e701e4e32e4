// carvox-screenshots IMAGE FOLDER: the main window with a disc image mounted in a
// virtual drive, as a person sees it, saved as PNG files for the documentation: a volume listed, the item context
// menu, the Preferences dialog and the export progress. Run under a display (Xvfb).
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QFileDialog>
#include <cstdio>
#include <filesystem>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "export/SoundBankBuilder.h"
#include "platform/prompt/QtPrompt.h"

namespace {

QString g_folder;

void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

void Save(const QPixmap& picture, const char* name) {
  const QString path = g_folder + "/" + name;
  picture.save(path);
  std::printf("wrote %s\n", path.toLocal8Bit().constData());
}

// The screen under the main window, so that popups and dialogs over it show too.
QPixmap ScreenOver(const QWidget& frame) {
  const QRect area = frame.frameGeometry();
  return QApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

// Takes the export dialog's picture once its bar has moved, from inside the export:
// after the paint, when the export next lets events through.
class ProgressShot : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* bar = qobject_cast<QProgressBar*>(watched);
    if (!taken_ && bar != nullptr && event->type() == QEvent::Paint && bar->value() > bar->minimum() &&
        bar->window()->objectName() == "ExportProgressDialog") {
      taken_ = true;
      QTimer::singleShot(0, [dialog = QPointer<QWidget>(bar->window())] {
        if (dialog != nullptr) Save(ScreenOver(*dialog->parentWidget()), "export-progress.png");
      });
    }
    return false;
  }

 private:
  bool taken_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: carvox-screenshots IMAGE FOLDER\n");
    return 2;
  }
  g_folder = argv[2];
  std::filesystem::create_directories(argv[2]);
  platform::QtPrompt prompt;
  platform::InstallPrompt(&prompt);
  PlaybackEngine engine;
  SoundBankBuilder builder;
  {
    CMainFrame frame(engine, builder);
    frame.Create();
    if (!frame.InitDevices()) return 1;
    frame.setGeometry(40, 40, CMainFrame::kDefaultWidth, CMainFrame::kDefaultHeight);
    frame.show();
    frame.MountImage(QString::fromLocal8Bit(argv[1]));
    CContentsView& contents = *frame.GetContentsView();
    CItemView& items = *frame.GetItemView();
    contents.topLevelItem(0)->setSelected(true);
    items.topLevelItem(0)->setSelected(true);
    Settle();
    Save(frame.grab(), "main-window.png");

    items.clearSelection();
    items.topLevelItem(1)->setSelected(true);
    const QRect row = items.visualItemRect(items.topLevelItem(1));
    items.ShowContextMenu(items.viewport()->mapToGlobal(row.center()));
    Settle();
    Save(ScreenOver(frame), "context-menu.png");
    items.contextMenu()->close();

    QTimer::singleShot(300, [] {
      QWidget* preferences = QApplication::activeModalWidget();
      Save(preferences->grab(), "preferences.png");
      qobject_cast<QDialog*>(preferences)->reject();
    });
    frame.OnPreferences();

    // Every item of the volume, into a temporary folder, so that a bank is built.
    for (int i = 0; i < items.topLevelItemCount(); ++i) items.topLevelItem(i)->setSelected(true);
    const QString output = g_folder + "/.export";
    std::filesystem::create_directories(output.toStdString());
    QTimer::singleShot(300, [output] {
      auto* browser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (browser == nullptr) return;
      qobject_cast<QFileDialog*>(browser)->setDirectory(output);
      browser->accept();
    });
    ProgressShot shot;
    application.installEventFilter(&shot);
    frame.ExportSelection();
    application.removeEventFilter(&shot);
    std::filesystem::remove_all(output.toStdString());
  }
  engine.Shutdown();
  platform::InstallPrompt(nullptr);
  return 0;
}
