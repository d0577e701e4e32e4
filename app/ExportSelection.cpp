// The export command: the rows selected in the item view, into one folder the user
// picks; samples as WAV files, programs as SoundFont banks, through the export batch.
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QProgressBar>
#include <QVBoxLayout>
#include <memory>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "app/ItemFormat.h"
#include "app/Strings.h"
#include "app/WaitCursor.h"
#include "export/ExportBatch.h"
#include "export/SoundBankBuilder.h"

namespace {

// The export blocks the event loop: the dialog is painted by handling the window
// system's events, user input left aside.
void ShowProgressNow() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// The progress bar of the export dialog, as the bank builder drives it.
class ExportProgressBar : public ProgressBar {
 public:
  explicit ExportProgressBar(QProgressBar& bar) : bar_(bar) {}
  void SetRange(int lower, int upper) override {
    bar_.setRange(lower, upper);
    ShowProgressNow();
  }
  void SetPos(int position) override {
    bar_.setValue(position);
    ShowProgressNow();
  }

 private:
  QProgressBar& bar_;
};

// A modeless dialog without buttons that shows the bank being built.
class ExportProgressDialog : public QDialog {
 public:
  explicit ExportProgressDialog(QWidget* parent)
      : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), bar_(new QProgressBar(this)) {
    setObjectName("ExportProgressDialog");
    setWindowTitle(LoadText(IDS_EXPORTING));
    bar_->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    resize(300, 80);
  }
  ProgressBar& progress() { return progress_; }

 private:
  QProgressBar* bar_;
  ExportProgressBar progress_{*bar_};
};

// What the batch reports, shown in the main window: a sample that cannot be loaded is
// named in the status bar; the progress dialog exists from the first program on.
class WindowExportReport : public ExportReport {
 public:
  explicit WindowExportReport(CMainFrame& frame) : frame_(frame) {}

  SoundBankBuilder& BankBuilder() override { return TheSoundBankBuilder(); }
  ProgressBar* BankStarting(const ExportVolume&, const ExportItem& item) override {
    if (!dialog_) dialog_ = std::make_unique<ExportProgressDialog>(&frame_);
    dialog_->setWindowTitle(QString::fromStdString(FormatText(IDS_EXPORTING_ITEM, item.name.c_str())));
    dialog_->show();
    ShowProgressNow();
    return &dialog_->progress();
  }
  void SampleNotLoaded(const ExportVolume&, const ExportItem& item, const std::exception_ptr&) override {
    frame_.SetStatusText(FormatText(IDS_SAMPLE_NOT_EXPORTED, item.name.c_str()));
  }
  // WriteWavFile and the bank builder have shown their own messages.
  void NotWritten(const ExportVolume&, const ExportItem&, const std::filesystem::path&) override {}
  void Failed(ExportLoss, const std::string& text) override {
    frame_.SetStatusText(FormatText(IDS_EXPORT_FAILED, text.c_str()));
  }

 private:
  CMainFrame& frame_;
  std::unique_ptr<ExportProgressDialog> dialog_;
};

// The folder browser, opened on the remembered folder when it still exists (a folder
// gone would be offered as a name to choose). Empty when the user cancels.
QString ChooseExportFolder(QWidget* parent, const std::string& lastFolder) {
  const QString start = QString::fromStdString(lastFolder);
  QFileDialog browser(parent, LoadText(IDS_SELECT_DESTINATION), QDir(start).exists() ? start : QString());
  browser.setFileMode(QFileDialog::Directory);
  browser.setOption(QFileDialog::ShowDirsOnly);
  browser.setOption(QFileDialog::DontUseNativeDialog);
  if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty()) return QString();
  return browser.selectedFiles().front();
}

}  // namespace

void CMainFrame::ExportSelection() {
  const std::vector<QTreeWidgetItem*> rows = GetItemView()->SelectedRows();
  const uint8_t partition = GetContentsView()->GetSelectedPartition();
  const uint8_t volume = GetContentsView()->GetSelectedVolume();
  if (rows.empty() || m_volumeReader == nullptr || partition == CContentsView::kNoSelection) return;
  const QString chosen = ChooseExportFolder(this, m_preferences.m_lastExportDir);
  if (chosen.isEmpty()) return;
  m_preferences.m_lastExportDir = chosen.toStdString();
  const std::string folder = chosen.endsWith('/') ? chosen.toStdString() : chosen.toStdString() + "/";

  ExportVolume plan{partition, volume, "", folder, {}};
  for (const QTreeWidgetItem* row : rows) {
    const uint32_t kind = ItemKind(CItemView::DataWord(row));
    if (kind != kSampleRow && kind != kProgramRow) continue;
    plan.items.push_back({row->text(CItemView::kName).toStdString(), kind == kProgramRow});
  }
  const WaitCursor wait;
  StopPlayback();
  ExportDisc disc(*m_volumeReader);
  WindowExportReport report(*this);
  ExportBatch(disc, report,
              {.normalize = m_preferences.m_normalizeExport != 0, .formats = StoredExportFormats(m_preferences)})
      .Export({plan});
}
