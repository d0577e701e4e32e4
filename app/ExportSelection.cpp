// The export command and the drag out of the item view: the selected rows as files,
// samples as WAV files and programs as SoundFont banks, through the export batch; the
// export into one folder the user picks, the drag into a temporary folder.
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDrag>
#include <QFileDialog>
#include <QMimeData>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "app/internal/ItemFormat.h"
#include "app/internal/Strings.h"
#include "app/internal/WaitCursor.h"
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
    bar_->setAccessibleName(LoadText(IDS_EXPORTING));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    resize(300, 80);
  }
  ProgressBar& progress() { return progress_; }

 private:
  QProgressBar* bar_;
  ExportProgressBar progress_{*bar_};
};

// Why a sample could not be loaded, in words.
std::string LoadFailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CDReaderException&) {
    return FormatText(IDS_NOT_LOADED, LoadText(IDS_READ_ERROR).toStdString().c_str());
  } catch (const std::exception& error) {
    // The reader's other failures (CodedError) say what their code means.
    return FormatText(IDS_NOT_LOADED, error.what());
  }
}

// What the batch reports, shown in the main window: a sample that cannot be loaded is
// named in the status bar, the progress dialog exists from the first program on, and
// every file written and every failure with its reason is kept for the summary.
class WindowExportReport : public ExportReport {
 public:
  WindowExportReport(CMainFrame& frame, SoundBankBuilder& builder, bool withProgress)
      : frame_(frame), builder_(builder), withProgress_(withProgress) {}

  SoundBankBuilder& BankBuilder() override { return builder_; }
  ProgressBar* BankStarting(const ExportVolume&, const ExportItem& item) override {
    if (!withProgress_) return nullptr;
    if (!dialog_) dialog_ = std::make_unique<ExportProgressDialog>(&frame_);
    dialog_->setWindowTitle(QString::fromStdString(FormatText(IDS_EXPORTING_ITEM, item.name.c_str())));
    dialog_->show();
    ShowProgressNow();
    return &dialog_->progress();
  }
  void Wrote(const std::filesystem::path& path) override { written.push_back(path); }
  void SampleNotLoaded(const ExportVolume&, const ExportItem& item, const std::exception_ptr& failure) override {
    frame_.SetStatusText(FormatText(IDS_SAMPLE_NOT_EXPORTED, item.name.c_str()));
    AddFailure(item.name, LoadFailureText(failure));
  }
  void NotWritten(const ExportVolume&, const ExportItem& item, const std::filesystem::path& path,
                  const std::string& reason) override {
    AddFailure(item.name, reason.empty() ? path.string() : reason);
  }
  void Failed(ExportLoss, const std::string& text) override {
    frame_.SetStatusText(FormatText(IDS_EXPORT_FAILED, text.c_str()));
    failures.push_back(text);
  }

  std::vector<std::filesystem::path> written;
  std::vector<std::string> failures;

 private:
  void AddFailure(const std::string& name, const std::string& reason) {
    std::string line = FormatText(IDS_EXPORT_FAILURE_LINE, name.c_str(), reason.c_str());
    line.pop_back();  // the table's line end
    failures.push_back(line);
  }

  CMainFrame& frame_;
  SoundBankBuilder& builder_;
  bool withProgress_;
  std::unique_ptr<ExportProgressDialog> dialog_;
};

// Destroys a widget once control is back in the event loop.
struct DeleteLater {
  void operator()(QObject* object) const { object->deleteLater(); }
};

// The folder browser, opened on the remembered folder when it still exists (a folder
// gone would be offered as a name to choose). Empty when the user cancels. The browser
// goes once control is back in the event loop, after the export: a browser writes and
// syncs Qt's settings file as it is destroyed, which the user would otherwise wait for
// between choosing the folder and the export's start.
QString ChooseExportFolder(QWidget* parent, const std::string& lastFolder) {
  const QString start = QString::fromStdString(lastFolder);
  const std::unique_ptr<QFileDialog, DeleteLater> browser(
      new QFileDialog(parent, LoadText(IDS_SELECT_DESTINATION), QDir(start).exists() ? start : QString()));
  browser->setFileMode(QFileDialog::Directory);
  browser->setOption(QFileDialog::ShowDirsOnly);
  browser->setOption(QFileDialog::DontUseNativeDialog);
  if (browser->exec() != QDialog::Accepted || browser->selectedFiles().isEmpty()) return QString();
  return browser->selectedFiles().front();
}

// Set while an export runs.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

// The folders the drags of this run write into; removed when the program ends, since
// the program that took a drop may read the files later.
QTemporaryDir& DragFolders() {
  static QTemporaryDir folders(QDir::tempPath() + "/carvox-drag-XXXXXX");
  return folders;
}

}  // namespace

std::optional<ExportVolume> CMainFrame::PlanSelection(const std::filesystem::path& folder) const {
  const std::vector<VolumeItem> items = GetItemView()->SelectedItems();
  const uint8_t partition = GetContentsView()->GetSelectedPartition();
  const uint8_t volume = GetContentsView()->GetSelectedVolume();
  if (items.empty() || volumeReader() == nullptr || partition == CContentsView::kNoSelection) return std::nullopt;
  ExportVolume plan{partition, volume, "", folder, {}};
  for (const VolumeItem& item : items) plan.items.push_back({item.name, item.program, item.bytes, 0});
  return plan;
}

CMainFrame::ExportSummary CMainFrame::RunExport(const ExportVolume& plan, bool withProgress) {
  const WaitCursor wait;
  const RunningFlag running(m_exporting);
  StopPlayback();
  ExportDisc disc(*volumeReader());
  WindowExportReport report(*this, builder_, withProgress);
  ExportBatch(disc, report,
              {.normalize = m_settings.m_normalizeExport != 0, .formats = StoredExportFormats(m_settings)})
      .Export({plan});
  return {std::move(report.written), std::move(report.failures)};
}

// A run without failures is summed up in the status bar; failures in a message that
// lists each with its reason.
void CMainFrame::ExportSelection() {
  if (m_exporting || !PlanSelection({})) return;
  const QString chosen = ChooseExportFolder(this, m_settings.m_lastExportDir);
  if (chosen.isEmpty()) return;
  m_settings.m_lastExportDir = chosen.toStdString();
  const std::string folder = chosen.endsWith('/') ? chosen.toStdString() : chosen.toStdString() + "/";
  const ExportSummary summary = RunExport(*PlanSelection(folder), true);
  const auto written = static_cast<int>(summary.written.size());
  if (summary.failures.empty()) {
    SetStatusText(FormatText(IDS_EXPORT_DONE, written, chosen.toStdString().c_str()));
    return;
  }
  std::string lines;
  for (const std::string& failure : summary.failures) lines += failure + "\n";
  platform::MessageBox(FormatText(IDS_EXPORT_FAILURES, written, chosen.toStdString().c_str(), lines.c_str()),
                       platform::MB_OK | platform::MB_ICONSTOP);
}

// Each drag writes into a folder of its own, so that a drop still being read keeps its
// files.
std::unique_ptr<QMimeData> CMainFrame::MakeDragData() {
  if (m_exporting || !DragFolders().isValid() || !PlanSelection({})) return nullptr;
  static int drags = 0;
  const std::filesystem::path folder = DragFolders().filePath(QString::number(++drags)).toStdString();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const ExportSummary summary = RunExport(*PlanSelection(folder / ""), false);
  if (summary.written.empty()) return nullptr;
  QList<QUrl> urls;
  for (const std::filesystem::path& path : summary.written) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  auto data = std::make_unique<QMimeData>();
  data->setUrls(urls);
  return data;
}

void CMainFrame::DragSelection() {
  std::unique_ptr<QMimeData> data = MakeDragData();
  if (data == nullptr) return;
  auto* drag = new QDrag(GetItemView());
  drag->setMimeData(data.release());
  drag->exec(Qt::CopyAction);
}
