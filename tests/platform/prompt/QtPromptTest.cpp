// The Qt message box: the buttons and icon each type asks for, and the answer each
// button gives.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/prompt/QtPrompt.h"

namespace {

using namespace platform;

struct BoxCase {
  unsigned type;
  QMessageBox::StandardButtons buttons;
  QMessageBox::Icon icon;
  QMessageBox::StandardButton press;  // NoButton: the box is closed without a button
  int answer;
};

class QtPromptTest : public testing::TestWithParam<BoxCase> {};

TEST_P(QtPromptTest, ShowsTheButtonsAndIconAndAnswersThePressedButton) {
  const BoxCase& c = GetParam();
  QMessageBox::StandardButtons shown;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  // Runs once the box's own event loop has started.
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->standardButtons();
    icon = box->icon();
    title = box->windowTitle();
    if (c.press == QMessageBox::NoButton) {
      box->reject();
    } else {
      box->button(c.press)->click();
    }
  });
  EXPECT_EQ(QtPrompt().Show("Could not read CD.", "Carvox", c.type), c.answer);
  EXPECT_EQ(shown, c.buttons);
  EXPECT_EQ(icon, c.icon);
  EXPECT_EQ(title, "Carvox");
}

INSTANTIATE_TEST_SUITE_P(
    Types, QtPromptTest,
    testing::Values(
        BoxCase{MB_OK, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, IDOK},
        BoxCase{MB_OK | MB_ICONSTOP, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::NoButton, IDOK},
        BoxCase{MB_OKCANCEL | MB_ICONQUESTION, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question,
                QMessageBox::NoButton, IDCANCEL},
        BoxCase{MB_YESNO, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoIcon, QMessageBox::NoButton, IDNO},
        BoxCase{MB_RETRYCANCEL | MB_ICONWARNING, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Warning,
                QMessageBox::Retry, IDRETRY},
        BoxCase{MB_YESNO | MB_ICONINFORMATION, QMessageBox::Yes | QMessageBox::No, QMessageBox::Information,
                QMessageBox::No, IDNO},
        BoxCase{MB_YESNOCANCEL, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoIcon,
                QMessageBox::Yes, IDYES},
        BoxCase{MB_ABORTRETRYIGNORE, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                QMessageBox::NoIcon, QMessageBox::Ignore, IDIGNORE}));

}  // namespace
