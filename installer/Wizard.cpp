#include "installer/internal/Wizard.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "installer/Messages.h"
#include "platform/resources/Resources.h"

namespace installer {
namespace {

// The frame's layout in pixels: each page sits at (18, 48) at the page size.
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 400;
constexpr int kPageLeft = 18;
constexpr int kPageTop = 48;
constexpr int kPageWidth = kFrameWidth - 2 * kPageLeft;
constexpr int kPageHeight = 290;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
constexpr int kButtonTop = kFrameHeight - kButtonHeight - 14;

// The agreement's bytes (CR LF lines, no NUL); the resource's size bounds the text.
QString LicenseText() {
  const platform::HRSRC resource = platform::FindResourceA(nullptr, "IDT_LICENSE_TXT", "INSTFILE");
  if (resource == nullptr) return {};
  const auto* bytes = static_cast<const char*>(platform::LockResource(platform::LoadResource(nullptr, resource)));
  const auto size = static_cast<qsizetype>(platform::SizeofResource(nullptr, resource));
  return QString::fromLatin1(bytes, size).replace("\r\n", "\n");
}

QString WithProductName(const char* pattern, const std::string& productName) {
  return QString(pattern).replace("%s", QString::fromStdString(productName));
}

template <typename Widget>
Widget* Control(QWidget* page, int id, const QString& text = {}) {
  auto* control = new Widget(text, page);
  control->setObjectName(QString::number(id));
  return control;
}

// Page 3's progress line; the installation pumps no messages, so it is painted at once.
class LabelProgress : public ProgressText {
 public:
  explicit LabelProgress(QLabel& label) : label_(label) {}
  void SetText(const std::string& text) override {
    label_.setText(QString::fromStdString(text));
    label_.repaint();
  }

 private:
  QLabel& label_;
};

}  // namespace

SetupWizard::SetupWizard(InstallerContext& context, QWidget* parent)
    : QDialog(parent), context_(context), directory_(context.appDir) {
  setObjectName("129");
  setWindowTitle(kInstallerCaption);
  setFixedSize(kFrameWidth, kFrameHeight);
  auto* welcome = new QLabel("Welcome to Ondrel", this);
  welcome->setGeometry(kPageLeft, 14, kPageWidth, 24);
  QFont bold = welcome->font();
  bold.setBold(true);
  welcome->setFont(bold);

  pages_[0] = CreateAgreementPage();
  pages_[1] = CreateDirectoryPage();
  pages_[2] = CreateProgressPage();

  next_ = Control<QPushButton>(this, 1008, "Next >>");
  next_->setGeometry(kFrameWidth - 2 * (kButtonWidth + kPageLeft), kButtonTop, kButtonWidth, kButtonHeight);
  next_->setDefault(true);
  next_->setEnabled(false);
  cancel_ = Control<QPushButton>(this, 2, "Cancel");
  cancel_->setGeometry(kFrameWidth - kButtonWidth - kPageLeft, kButtonTop, kButtonWidth, kButtonHeight);
  connect(next_, &QPushButton::clicked, this, &SetupWizard::OnNext);
  connect(cancel_, &QPushButton::clicked, this, &SetupWizard::reject);
  ShowPage(1);
}

QWidget* SetupWizard::CreateAgreementPage() {
  auto* page = new QWidget(this);
  page->setObjectName("IDD_STEP1");
  auto* label = Control<QLabel>(page, 1001, WithProductName(
      "To install %s, you must first accept the license agreement:", context_.productName));
  label->setGeometry(0, 0, kPageWidth, 20);
  auto* agreement = new QPlainTextEdit(LicenseText(), page);
  agreement->setObjectName("1000");
  agreement->setReadOnly(true);
  agreement->setLineWrapMode(QPlainTextEdit::NoWrap);  // the text keeps its own lines
  agreement->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  agreement->setGeometry(0, 26, kPageWidth, kPageHeight - 86);
  auto* accept = Control<QRadioButton>(page, 1002, "Yes, I accept the license agreement");
  accept->move(0, kPageHeight - 54);
  accept->adjustSize();
  auto* refuse = Control<QRadioButton>(page, 1003, "No, I do not accept the license agreement");
  refuse->move(0, kPageHeight - 28);
  refuse->adjustSize();
  refuse->setChecked(true);
  connect(accept, &QRadioButton::clicked, this, [this] { next_->setEnabled(true); });
  connect(refuse, &QRadioButton::clicked, this, [this] { next_->setEnabled(false); });
  return page;
}

QWidget* SetupWizard::CreateDirectoryPage() {
  auto* page = new QWidget(this);
  page->setObjectName("IDD_STEP2");
  auto* label = Control<QLabel>(page, 1004, WithProductName(
      "Select a directory where you want to install %s:", context_.productName));
  label->setGeometry(0, 0, kPageWidth, 20);
  directoryEdit_ = Control<QLineEdit>(page, 1005, QString::fromStdString(context_.appDir));
  directoryEdit_->setMaxLength(kDirectoryLength);
  directoryEdit_->setGeometry(0, 26, kPageWidth - kButtonWidth - 8, kButtonHeight);
  auto* select = Control<QPushButton>(page, 1006, "Select...");
  select->setGeometry(kPageWidth - kButtonWidth, 26, kButtonWidth, kButtonHeight);
  select->hide();
  return page;
}

QWidget* SetupWizard::CreateProgressPage() {
  auto* page = new QWidget(this);
  page->setObjectName("IDD_STEP3");
  auto* start = Control<QLabel>(page, 1004, "Click \"Finish\" to start the installation");
  start->setAlignment(Qt::AlignCenter);
  start->setGeometry(0, 40, kPageWidth, 20);
  auto* caption = new QLabel("Installation Progress:", page);
  caption->setGeometry(0, 120, kPageWidth, 20);
  progress_ = Control<QLabel>(page, 1011);
  progress_->setGeometry(0, 146, kPageWidth, 20);
  return page;
}

void SetupWizard::ShowPage(int step) {
  step_ = step;
  for (int i = 0; i < 3; ++i) {
    pages_[i]->setGeometry(kPageLeft, kPageTop, kPageWidth, kPageHeight);
    pages_[i]->setVisible(i == step - 1);
  }
  if (step == 3) next_->setText("Finish");
}

void SetupWizard::OnNext() {
  if (step_ == 3) Finish();
  else if (step_ == 1 || TakeDirectory()) ShowPage(step_ + 1);
}

bool SetupWizard::TakeDirectory() {
  std::string reason;
  const std::string directory = AcceptDirectory(directoryEdit_->text().toStdString(), reason);
  if (directory.empty()) {
    ShowMessage(reason, platform::MB_OK | platform::MB_ICONSTOP, kInstallerCaption);
    directoryEdit_->setFocus();
    return false;
  }
  directory_ = directory;
  return true;
}

// The installation runs here, without pumping messages: Cancel cannot interrupt it.
void SetupWizard::Finish() {
  next_->setEnabled(false);
  cancel_->setEnabled(false);
  context_.appDir = directory_;
  LabelProgress progress(*progress_);
  RunInstallation(context_, progress);
  done(kFinished);
}

void SetupWizard::reject() {
  if (cancel_->isEnabled()) done(kCancelled);
}

int RunWizard(InstallerContext& context) {
  SetupWizard wizard(context, QApplication::focusWidget());
  const int code = wizard.exec();
  if (code == SetupWizard::kFinished) ShowClosingMessage(context);
  return code;
}

}  // namespace installer
