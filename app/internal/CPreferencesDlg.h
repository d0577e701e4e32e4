#pragma once
// The Preferences dialog: edits the settings value the main frame owns. OK takes the
// controls' values into it and stores the choices in the registry.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>

#include "app/Settings.h"
#include "export/PresetWriter.h"

class CPreferencesDlg : public QDialog {
  Q_OBJECT

 public:
  // `settings` (not owned) is edited; `drivers` (not owned) lists the sound drivers,
  // null: none are known.
  CPreferencesDlg(CarvoxSettings& settings, const SoundDriverSource* drivers, QWidget* parent);

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

  CarvoxSettings& settings_;
  const SoundDriverSource* drivers_;
  QComboBox* m_driverCombo;
  QCheckBox* m_normalizeBox;
  QComboBox* m_doubleclickCombo;
  std::vector<QCheckBox*> m_formatBoxes;
};

// The drivers `source` lists; none for null.
std::vector<SoundDriverChoice> DriversOf(const SoundDriverSource* source);
