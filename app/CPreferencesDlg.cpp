#include "app/internal/CPreferencesDlg.h"

#include <QDialogButtonBox>

#include <algorithm>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/internal/Strings.h"

std::vector<SoundDriverChoice> DriversOf(const SoundDriverSource* source) {
  return source != nullptr ? source->Drivers() : std::vector<SoundDriverChoice>();
}

CPreferencesDlg::CPreferencesDlg(CarvoxSettings& settings, const SoundDriverSource* drivers, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      drivers_(drivers),
      m_driverCombo(new QComboBox(this)),
      m_normalizeBox(new QCheckBox(LoadText(IDS_NORMALIZE), this)),
      m_doubleclickCombo(new QComboBox(this)) {
  setWindowTitle(LoadText(IDS_PREFERENCES_TITLE));
  m_doubleclickCombo->addItems({LoadText(IDS_DOUBLECLICK_NORMAL), LoadText(IDS_DOUBLECLICK_LOOPED)});
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(LoadText(IDS_OK), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(LoadText(IDS_CANCEL), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* driverLabel = new QLabel(LoadText(IDS_DSOUND_DRIVER), this);
  auto* doubleclickLabel = new QLabel(LoadText(IDS_DOUBLECLICK_PLAYS), this);
  driverLabel->setBuddy(m_driverCombo);
  doubleclickLabel->setBuddy(m_doubleclickCombo);
  auto* layout = new QGridLayout(this);
  layout->addWidget(driverLabel, 0, 0, 1, 2);
  layout->addWidget(m_driverCombo, 1, 0, 1, 2);
  layout->addWidget(m_normalizeBox, 2, 0, 1, 2);
  layout->addWidget(doubleclickLabel, 3, 0);
  layout->addWidget(m_doubleclickCombo, 3, 1);
  layout->addWidget(new QLabel(LoadText(IDS_EXPORT_FORMATS), this), 4, 0, 1, 2);
  for (const unsigned text : {IDS_FORMAT_SF2, IDS_FORMAT_SFZ, IDS_FORMAT_DSPRESET}) {
    m_formatBoxes.push_back(new QCheckBox(LoadText(text), this));
    layout->addWidget(m_formatBoxes.back(), layout->rowCount(), 0, 1, 2);
  }
  layout->addWidget(buttons, layout->rowCount(), 0, 1, 2);
  setTabOrder(ok, m_driverCombo);
  DescribeForAccessibility({{m_driverCombo, IDS_ACC_SOUND_OUTPUT},
                            {m_normalizeBox, IDS_ACC_NORMALIZE},
                            {m_doubleclickCombo, IDS_ACC_DOUBLECLICK},
                            {ok, IDS_ACC_OK},
                            {cancel, IDS_ACC_CANCEL},
                            {m_formatBoxes[0], IDS_ACC_FORMAT_SF2},
                            {m_formatBoxes[1], IDS_ACC_FORMAT_SFZ},
                            {m_formatBoxes[2], IDS_ACC_FORMAT_DSPRESET}});
}

int CPreferencesDlg::DoModal() {
  OnInitDialog();
  return exec();
}

// Offers the drivers that have a GUID and selects the first whose description begins
// with the stored one, case ignored.
void CPreferencesDlg::OnInitDialog() {
  m_normalizeBox->setChecked(settings_.m_normalizeExport != 0);
  m_doubleclickCombo->setCurrentIndex(settings_.m_doubleclickPlaysLoop != 0 ? 1 : 0);
  const ExportFormats formats = StoredExportFormats(settings_);
  m_formatBoxes[0]->setChecked(formats.soundFont);
  for (size_t w = 0; w < PresetWriters().size(); ++w) {
    m_formatBoxes[w + 1]->setChecked(std::count(formats.presets.begin(), formats.presets.end(), PresetWriters()[w]) != 0);
  }
  m_driverCombo->clear();
  for (const SoundDriverChoice& driver : DriversOf(drivers_)) {
    if (driver.hasGuid) m_driverCombo->addItem(QString::fromStdString(driver.description));
  }
  const QString stored = QString::fromStdString(settings_.m_dsoundDriver);
  int match = -1;
  for (int i = 0; i < m_driverCombo->count() && match < 0; ++i) {
    if (m_driverCombo->itemText(i).startsWith(stored, Qt::CaseInsensitive)) match = i;
  }
  m_driverCombo->setCurrentIndex(match);
}

// With no driver selected the stored one stays: there is nothing better to store.
void CPreferencesDlg::accept() {
  const std::string previous = settings_.m_dsoundDriver;
  if (m_driverCombo->currentIndex() >= 0) settings_.m_dsoundDriver = m_driverCombo->currentText().toStdString();
  settings_.m_normalizeExport = m_normalizeBox->isChecked() ? 1 : 0;
  settings_.m_doubleclickPlaysLoop = m_doubleclickCombo->currentIndex() == 1 ? 1 : 0;
  ExportFormats formats{.soundFont = m_formatBoxes[0]->isChecked(), .presets = {}};
  for (size_t w = 0; w < PresetWriters().size(); ++w) {
    if (m_formatBoxes[w + 1]->isChecked()) formats.presets.push_back(PresetWriters()[w]);
  }
  settings_.m_presetFormats = ExportFormatList(formats);
  QDialog::accept();
  SaveChoices(settings_);
  if (previous != settings_.m_dsoundDriver) ShowMessage(IDS_RESTART, platform::MB_OK | platform::MB_ICONINFORMATION);
}
