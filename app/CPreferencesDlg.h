#pragma once
// The Preferences dialog, and the live settings: one object lives in the main frame for
// the whole run. Made, it loads the settings (writing the defaults of those missing);
// its OK stores the choices; destroyed, it stores the last export folder.

#include <QComboBox>
#include <QCheckBox>
#include <QDialog>

#include "app/Settings.h"
#include "export/PresetWriter.h"

class CPreferencesDlg : public QDialog, public CarvoxSettings {
  Q_OBJECT

 public:
  // `drivers` (not owned) lists the sound drivers; null: none are known.
  CPreferencesDlg(const SoundDriverSource* drivers, QWidget* parent);
  ~CPreferencesDlg() override;

  // Shows the dialog with the current settings; QDialog::Accepted after OK.
  int DoModal();

  // OK: takes the controls' values and stores them.
  void accept() override;

  QComboBox* driverCombo() const { return m_driverCombo; }
  QCheckBox* normalizeCheck() const { return m_normalizeBox; }
  QComboBox* doubleclickCombo() const { return m_doubleclickCombo; }
  // The export formats' boxes: the SoundFont bank, then one per preset writer.
  const std::vector<QCheckBox*>& formatChecks() const { return m_formatBoxes; }

 private:
  void OnInitDialog();

  const SoundDriverSource* drivers_;
  int m_normalizeCheck = 0;
  int m_doubleclickChoice = -1;
  QComboBox* m_driverCombo;
  QCheckBox* m_normalizeBox;
  QComboBox* m_doubleclickCombo;
  std::vector<QCheckBox*> m_formatBoxes;
};
