#pragma once
// The program's only top-level window: menu, toolbar and drive bar, a one-pane status
// bar, and a splitter with the contents view on the left and the item view on the
// right. It owns the settings value and the open disc, runs the device start-up, and
// handles the commands that act on the disc, its drives and playback. The views only
// show rows and signal what the user asks for; the frame connects them.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>
#include <map>
#include <memory>
#include <string>

#include "akai/AkaiDisc.h"
#include "app/Settings.h"
#include "audio/PlaybackEngine.h"
#include "cdrom/CDReader.h"
#include "export/ExportBatch.h"
#include "export/ExportFeedback.h"

class CContentsView;
class CItemView;
class SoundBankBuilder;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // The smallest size the window starts with (the size it had is kept between runs).
  static constexpr int kDefaultWidth = 900;
  static constexpr int kDefaultHeight = 560;

  // Loads the settings. `engine` plays the samples and `builder` builds the banks (both
  // the application's, made without a device or an engine: start-up opens and loads
  // them); `drivers` (may be null) lists the sound drivers. None is owned.
  CMainFrame(PlaybackEngine& engine, SoundBankBuilder& builder, const SoundDriverSource* drivers = nullptr);
  // Releases the drives the window mounted and stores the window's state.
  ~CMainFrame() override;

  // Makes the bars, the splitter and both views, at the size the settings keep.
  void Create();
  // The device start-up, run once the window exists but is not shown yet. False: the
  // program must end at once, with status 0 (a Windows version it does not run on, or
  // no sound device).
  bool InitDevices();

  CContentsView* GetContentsView() const;
  CItemView* GetItemView() const;
  QLineEdit* filterBox() const { return m_filterBox; }
  CarvoxSettings& settings() { return m_settings; }
  PlaybackEngine& engine() const { return engine_; }
  // The open disc's reader, null until a disc was opened.
  AkaiVolumeReader* volumeReader() const { return m_disc ? &m_disc->reader() : nullptr; }
  // Reads from `source` (a drive's or an image's sectors) from the next Refresh on.
  void AttachDisc(SectorSource& source);
  // The CD-ROM layer start-up loads: its Windows name, or a host path (tests name one
  // that is missing).
  void SetCdLayer(std::string library) { m_cdLayer = std::move(library); }
  CDReader* cdReader() const { return m_cdReader.get(); }

  // Mounts the disc image at `path` in a free drive, selects that drive and opens the
  // disc (the File menu, a file dropped on the window, and `carvox IMAGE`). A file that
  // is not an AKAI disc is unmounted before the refusal is shown.
  void MountImage(const QString& path);
  // The drive letters this window mounted, with their images.
  const std::map<char, std::string>& ownDrives() const { return m_ownDrives; }
  // Unmounts the drives that windows which no longer run had mounted (start-up).
  static void ReclaimDrives();

  // Empties both views and lists every volume of every partition the reader holds.
  void FillContents();
  // Lists the programs and samples of a volume in the item view.
  void ListVolume(uint16_t partition, uint16_t volume);
  void PlayOnDoubleClick();
  // Returns once nothing plays any more: the sample's data may then be replaced.
  void StopPlayback();
  // The text of the status bar's pane.
  void SetStatusText(const std::string& text);
  QString statusText() const { return m_statusPane->text(); }
  // The files of the selected rows, written into a temporary folder, as text/uri-list
  // (what a drag out of the item view carries); null when nothing was written.
  std::unique_ptr<QMimeData> MakeDragData();
  // True while an export runs: discs are neither opened nor closed then.
  bool exporting() const { return m_exporting; }

  QAction* action(unsigned id) const { return m_actions.at(id); }
  QComboBox* driveCombo() const { return m_driveCombo; }
  QPushButton* refreshButton() const { return m_refreshButton; }
  QToolBar* toolBar() const { return m_toolBar; }
  QToolBar* driveBar() const { return m_driveBar; }
  QSplitter* splitter() const { return m_splitter; }

 public slots:
  void OnDriveSelChange();
  void OnRefresh();
  void OnPlay();
  void OnPlayLooped();
  void OnStop();
  void OnPlayOrStop();
  void OnCloseDisc();
  void OnPreferences();
  void ExportSelection();
  void OnAppAbout();
  void OnHelpTopics();
  void OnMountImage();
  // Enables play, loop and export by the item view's selection.
  void UpdateCommands();
  // Drags the selected rows out as the files an export writes, made in a temporary
  // folder when the drag starts.
  void DragSelection();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class PaneStatusLine : public StatusLine {
   public:
    explicit PaneStatusLine(CMainFrame& frame) : frame_(frame) {}
    void SetStatusText(const std::string& text) override { frame_.SetStatusText(text); }

   private:
    CMainFrame& frame_;
  };
  // The selected rows as the export batch plans them, or null when nothing is
  // selected or no disc is open.
  std::optional<ExportVolume> PlanSelection(const std::filesystem::path& folder) const;
  // Exports the plan; the summary lists what was written and each failure with its
  // reason (the batch's, or the warnings the WAV writer, the bank builder and the
  // reader gave instead of showing them one by one).
  struct ExportSummary {
    std::vector<std::filesystem::path> written;
    std::vector<std::string> failures;
  };
  ExportSummary RunExport(const ExportVolume& plan, bool withProgress);

  QAction* AddCommand(QMenu* menu, unsigned id, unsigned textId, const QList<QKeySequence>& keys = {});
  void CreateMenus();
  void CreateToolBar();
  void CreateDriveBar();
  void CreateStatusBar();
  void CreateClient();
  void DescribeControls();
  void RestoreWindowState();
  void Play(bool looped);
  // Looks at the engine while a sample plays: the status bar says when it has ended,
  // and a sound output that failed is shown with its reason.
  void WatchPlayback();
  void ShowSoundFailure(const std::string& reason);
  // Opens the disc in the current drive and lists it: "" then, else the message.
  std::string OpenDisc();
  // Runs a read of the disc: "" when it worked, else the message that says why not.
  template <class Read>
  std::string TryRead(Read&& read);
  // The message for a failed read: the image's fault for a virtual drive whose image
  // is cut short or missing, else the text of `fallback`.
  std::string ReadFailureText(unsigned fallback) const;
  // Loads the layer when it is not loaded yet and lists the drives (again); a failure
  // is shown, a missing layer under its own message.
  bool EnumerateDrives();
  // One entry per drive, in the reader's order; selects the entry of `letter` (the
  // first entry when none has it) and makes it the reader's device.
  void FillDriveBar(char letter);
  char CurrentLetter() const;
  // The image file of the virtual drive `letter`, or "" for another drive.
  static std::string ImageOfDrive(char letter);
  // Unmounts a drive this window mounted and forgets it.
  void ReleaseDrive(char letter);
  void UpdateTitle();

  PlaybackEngine& engine_;
  SoundBankBuilder& builder_;
  CarvoxSettings m_settings;
  const SoundDriverSource* drivers_;
  PaneStatusLine m_statusLine{*this};
  QLabel* m_statusPane = nullptr;
  QToolBar* m_toolBar = nullptr;
  QToolBar* m_driveBar = nullptr;
  QComboBox* m_driveCombo = nullptr;
  QPushButton* m_refreshButton = nullptr;
  QLineEdit* m_filterBox = nullptr;
  QSplitter* m_splitter = nullptr;
  QTimer m_playbackWatch;
  std::map<unsigned, QAction*> m_actions;
  std::string m_cdLayer = aspi::kLayerName;
  std::unique_ptr<CDReader> m_cdReader;
  SectorSource* m_source = nullptr;
  std::unique_ptr<AkaiDisc> m_disc;
  std::map<char, std::string> m_ownDrives;
  bool m_exporting = false;
};
