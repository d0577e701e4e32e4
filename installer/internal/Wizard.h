#pragma once
// The setup wizard, dialog 129: the agreement page (IDD_STEP1), the directory page
// (IDD_STEP2) and the start and progress page (IDD_STEP3), with one "Next >>" button
// that becomes "Finish" and a Cancel button. There is no way back to an earlier page.
// The pages and controls carry their dialog names and ids as object names.

#include <QDialog>
#include <string>

#include "installer/Installer.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace installer {

class SetupWizard : public QDialog {
  Q_OBJECT

 public:
  // The frame's result codes.
  static constexpr int kFinished = 1;
  static constexpr int kCancelled = 2;
  // The longest directory page 2 takes.
  static constexpr int kDirectoryLength = 319;

  // The context must be initialised; Finish installs into it.
  explicit SetupWizard(InstallerContext& context, QWidget* parent = nullptr);

  // Closing the window or Escape count as Cancel.
  void reject() override;

 private:
  QWidget* CreateAgreementPage();
  QWidget* CreateDirectoryPage();
  QWidget* CreateProgressPage();
  void ShowPage(int step);
  void OnNext();
  // Checks the typed directory; on refusal says why and keeps page 2.
  bool TakeDirectory();
  void Finish();

  InstallerContext& context_;
  int step_ = 1;
  std::string directory_;
  QWidget* pages_[3] = {};
  QPushButton* next_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLineEdit* directoryEdit_ = nullptr;
  QLabel* progress_ = nullptr;
};

// Runs the wizard modally over the window with the focus and, after Finish, the closing
// message; returns the frame's code.
int RunWizard(InstallerContext& context);

}  // namespace installer
