#include "app/internal/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/internal/Artwork.h"
#include "app/internal/Strings.h"
#include "platform/program/ProgramInfo.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(LoadText(IDS_ABOUT_TITLE));
  auto* picture = new QLabel(this);
  picture->setPixmap(ArtworkPixmap("carvox", 48, 48));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(LoadText(IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QGridLayout(this);
  layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(new QLabel(QString::fromStdString(FormatText(IDS_ABOUT_VERSION, platform::kCarvoxVersion)), this), 0, 1);
  layout->addWidget(new QLabel(LoadText(IDS_ABOUT_LINES), this), 1, 1);
  layout->addWidget(buttons, 2, 0, 1, 2);
}
