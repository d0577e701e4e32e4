#pragma once
// The program's only top-level window: menu, toolbar and drive bar, a one-pane status
// bar, and a splitter with the contents view on the left and the item view on the
// right. It owns the settings (in the preferences object) and the volume reader, runs
// the device start-up, and handles the commands that act on the disc and on playback.

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "akai/AkaiVolumeReader.h"
#include "app/CPreferencesDlg.h"
#include "audio/PlaybackEngine.h"
#include "cdrom/CDReader.h"
#include "export/ExportFeedback.h"

class CContentsView;
class CItemView;
class SoundBankBuilder;

// The one bank builder of the process, made without an engine; start-up loads it.
SoundBankBuilder& TheSoundBankBuilder();
// The one playback engine of the process, made on first use (never before `main`);
// the application shuts it down after the frame has gone.
PlaybackEngine& ThePlaybackEngine();

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Loads the settings; `drivers` (not owned, may be null) lists the sound drivers.
  explicit CMainFrame(const SoundDriverSource* drivers = nullptr);
  ~CMainFrame() override;

  // Makes the bars, the splitter and both views.
  void Create();
  // The device start-up, run once the window exists but is not shown yet. False: the
  // program must end at once, with status 0 (a Windows version it does not run on, or
  // no sound device).
  bool InitDevices();

  CContentsView* GetContentsView() const;
  CItemView* GetItemView() const;
  CPreferencesDlg& preferences() { return m_preferences; }
  // The volume reader, null until a disc source is attached.
  AkaiVolumeReader* volumeReader() const { return m_volumeReader.get(); }
  // Makes the one volume reader over `source` (the drive's sectors), once nothing
  // plays from the reader made before.
  void AttachDisc(SectorSource& source);
  // The CD-ROM layer start-up loads: its Windows name, or a host path (tests name one
  // that is missing).
  void SetCdLayer(std::string library) { m_cdLayer = std::move(library); }
  CDReader* cdReader() const { return m_cdReader.get(); }

  // Mounts the disc image at `path` in a free drive, selects that drive and refreshes
  // (the File menu, a file dropped on the window, and `carvox IMAGE`).
  void MountImage(const QString& path);

  // Empties both views and lists every volume of every partition the reader holds.
  void FillContents();
  void PlayOnDoubleClick();
  // Returns once nothing plays any more: the sample's data may then be replaced.
  void StopPlayback();
  // The text of the status bar's pane.
  void SetStatusText(const std::string& text);
  QString statusText() const { return m_statusPane->text(); }

  QAction* action(unsigned id) const { return m_actions.at(id); }
  QComboBox* driveCombo() const { return m_driveCombo; }
  QPushButton* refreshButton() const { return m_refreshButton; }
  QToolBar* toolBar() const { return m_toolBar; }
  QToolBar* driveBar() const { return m_driveBar; }

 public slots:
  void OnDriveSelChange();
  void OnRefresh();
  void OnPlay();
  void OnPlayLooped();
  void OnStop();
  void OnPreferences();
  void ExportSelection();
  void OnAppAbout();
  void OnHelpTopics();
  void OnMountImage();
  // Enables play, loop and export by the item view's selection.
  void UpdateCommands();

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

  QAction* AddCommand(QMenu* menu, unsigned id, unsigned textId);
  void CreateMenus();
  void CreateToolBar();
  void CreateDriveBar();
  void CreateStatusBar();
  void CreateClient();
  void Play(bool looped);
  // The CD reader's table of contents, the probe that a disc is in the drive; a disc
  // image attached directly has none to read.
  void ReadTOC();
  bool IsAkaiDisc();
  // Loads the layer when it is not loaded yet and lists the drives (again); a failure
  // is shown, a missing layer under its own message.
  bool EnumerateDrives();
  // One entry per drive, in the reader's order; selects entry `selected` and makes it
  // the reader's device.
  void FillDriveBar(int selected);

  CPreferencesDlg m_preferences;
  PaneStatusLine m_statusLine{*this};
  QLabel* m_statusPane = nullptr;
  QToolBar* m_toolBar = nullptr;
  QToolBar* m_driveBar = nullptr;
  QComboBox* m_driveCombo = nullptr;
  QPushButton* m_refreshButton = nullptr;
  QSplitter* m_splitter = nullptr;
  std::map<unsigned, QAction*> m_actions;
  std::string m_cdLayer = aspi::kLayerName;
  std::unique_ptr<CDReader> m_cdReader;
  SectorSource* m_source = nullptr;
  std::unique_ptr<AkaiVolumeReader> m_volumeReader;
};
