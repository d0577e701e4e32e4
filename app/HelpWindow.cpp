#include "app/internal/HelpWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextStream>

#include "app/internal/Artwork.h"
#include "app/internal/Strings.h"
#include "platform/program/ProgramFolders.h"

namespace {

// Carvox.cnt lists one topic per line as "Title=anchor"; other lines are ignored.
void FillContents(QListWidget& list, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
  QTextStream lines(&file);
  while (!lines.atEnd()) {
    const QString line = lines.readLine().trimmed();
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0) continue;
    auto* topic = new QListWidgetItem(line.left(equals), &list);
    topic->setData(Qt::UserRole, line.mid(equals + 1).trimmed());
  }
}

QWidget* MakeHelpWindow(QWidget* parent) {
  auto* window = new QSplitter(parent);
  window->setWindowFlag(Qt::Window);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(LoadText(IDS_HELP_TITLE));
  window->setWindowIcon(ProgramIcon());
  auto* topics = new QListWidget(window);
  auto* page = new QTextBrowser(window);
  // Beside the program (the build tree, an installation in the machine) or in the
  // installed tree's data folder.
  const QString helpFile = QString::fromStdString(platform::ProgramDataFile("Carvox.hlp").string());
  if (QFile::exists(helpFile)) {
    page->setSource(QUrl::fromLocalFile(helpFile), QTextDocument::HtmlResource);
    FillContents(*topics, QFileInfo(helpFile).path() + "/Carvox.cnt");
  } else {
    page->setPlainText(QString::fromStdString(FormatText(IDS_HELP_MISSING, helpFile.toStdString().c_str())));
  }
  QObject::connect(topics, &QListWidget::itemActivated, page,
                   [page](QListWidgetItem* topic) { page->scrollToAnchor(topic->data(Qt::UserRole).toString()); });
  QObject::connect(topics, &QListWidget::itemClicked, page,
                   [page](QListWidgetItem* topic) { page->scrollToAnchor(topic->data(Qt::UserRole).toString()); });
  window->setSizes({160, 480});
  window->resize(700, 500);
  return window;
}

}  // namespace

void ShowHelpWindow(QWidget* parent) {
  static QPointer<QWidget> window;
  if (window == nullptr) window = MakeHelpWindow(parent);
  window->show();
  window->raise();
}
