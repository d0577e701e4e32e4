#include "app/CMainFrame.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplashScreen>
#include <QStatusBar>
#include <QThread>
#include <cstdlib>
#include <filesystem>

#include "akai/DiscSignature.h"
#include "app/Artwork.h"
#include "app/CAboutDlg.h"
#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/HelpWindow.h"
#include "app/ItemFormat.h"
#include "app/Strings.h"
#include "app/WaitCursor.h"
#include "audio/Pcm.h"
#include "export/SoundBankBuilder.h"
#include "platform/aspi/DriveTable.h"
#include "platform/registry/SystemInfo.h"

namespace {

using platform::MB_ICONSTOP;
using platform::MB_OK;

void ShowError(unsigned id) { ShowMessage(id, MB_OK | MB_ICONSTOP); }

// The letter of the virtual drive that holds `image` already, or 0.
char MountedLetter(const std::filesystem::path& image) {
  std::error_code error;
  for (const aspi::VirtualDrive& drive : aspi::ReadDriveTable().drives) {
    if (std::filesystem::equivalent(drive.image, image, error)) return drive.letter;
  }
  return 0;
}

// How long the splash stays: 2000 ms, or CARVOX_SPLASH_MS (tests and screenshots
// shorten it).
unsigned long SplashMilliseconds() {
  const char* value = std::getenv("CARVOX_SPLASH_MS");
  return value != nullptr ? std::strtoul(value, nullptr, 10) : 2000;
}

// Windows 95, 98 and Me, and the NT family from version 5 (2000, XP) on.
bool WindowsVersionAccepted() {
  platform::OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!platform::GetVersionExA(&version)) return false;
  return version.dwPlatformId == platform::VER_PLATFORM_WIN32_WINDOWS ||
         (version.dwPlatformId == platform::VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5);
}

}  // namespace

SoundBankBuilder& TheSoundBankBuilder() {
  static SoundBankBuilder builder;
  return builder;
}

PlaybackEngine& ThePlaybackEngine() {
  static PlaybackEngine engine;
  return engine;
}

CMainFrame::CMainFrame(const SoundDriverSource* drivers) : m_preferences(drivers, this) {
  TheSoundBankBuilder().SetStatusLine(&m_statusLine);
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
}

// The volume reader goes first, once nothing plays its sample any more; the
// preferences, the first member, go last and store the last export folder.
CMainFrame::~CMainFrame() {
  TheSoundBankBuilder().SetStatusLine(nullptr);
  StopPlayback();
  m_volumeReader.reset();
}

void CMainFrame::Create() {
  CreateClient();
  CreateMenus();
  CreateToolBar();
  CreateDriveBar();
  CreateStatusBar();
  UpdateCommands();
}

QAction* CMainFrame::AddCommand(QMenu* menu, unsigned id, unsigned textId) {
  QAction* command = m_actions.count(id) != 0 ? m_actions[id] : new QAction(LoadText(textId), this);
  command->setStatusTip(CommandPrompt(id));
  command->setToolTip(CommandTip(id));
  if (menu != nullptr) menu->addAction(command);
  m_actions[id] = command;
  return command;
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(LoadText(IDS_MENU_FILE));
  connect(AddCommand(file, ID_FILE_EXPORT, IDS_MENU_FILE_EXPORT), &QAction::triggered, this, &CMainFrame::ExportSelection);
  file->addSeparator();
  connect(AddCommand(file, ID_FILE_PREFERENCES, IDS_MENU_FILE_PREFERENCES), &QAction::triggered, this,
          &CMainFrame::OnPreferences);
  connect(AddCommand(file, ID_FILE_MOUNT_IMAGE, IDS_MENU_FILE_MOUNT), &QAction::triggered, this,
          &CMainFrame::OnMountImage);
  file->addSeparator();
  connect(AddCommand(file, ID_APP_EXIT, IDS_MENU_FILE_EXIT), &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu(LoadText(IDS_MENU_VIEW));
  QAction* toolbar = AddCommand(view, ID_VIEW_TOOLBAR, IDS_MENU_VIEW_TOOLBAR);
  QAction* statusbar = AddCommand(view, ID_VIEW_STATUS_BAR, IDS_MENU_VIEW_STATUS_BAR);
  toolbar->setCheckable(true);
  statusbar->setCheckable(true);
  toolbar->setChecked(true);
  statusbar->setChecked(true);
  connect(toolbar, &QAction::toggled, this, [this](bool on) { m_toolBar->setVisible(on); });
  connect(statusbar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

  QMenu* help = menuBar()->addMenu(LoadText(IDS_MENU_HELP));
  connect(AddCommand(help, ID_HELP_FINDER, IDS_MENU_HELP_TOPICS), &QAction::triggered, this, &CMainFrame::OnHelpTopics);
  connect(AddCommand(help, ID_APP_ABOUT, IDS_MENU_HELP_ABOUT), &QAction::triggered, this, &CMainFrame::OnAppAbout);

  connect(AddCommand(nullptr, ID_SAMPLE_STOP, 0), &QAction::triggered, this, &CMainFrame::OnStop);
  connect(AddCommand(nullptr, ID_SAMPLE_PLAY, 0), &QAction::triggered, this, &CMainFrame::OnPlay);
  connect(AddCommand(nullptr, ID_SAMPLE_LOOP, 0), &QAction::triggered, this, &CMainFrame::OnPlayLooped);
}

// Export, Stop, Play, Loop and Preferences; Stop, Play and Loop are only here.
void CMainFrame::CreateToolBar() {
  m_toolBar = new QToolBar(this);
  m_toolBar->setObjectName("toolbar");
  m_toolBar->setIconSize(QSize(16, 15));
  m_toolBar->setMovable(false);
  const std::pair<unsigned, const char*> buttons[] = {{ID_FILE_EXPORT, "export"},      {0, nullptr},
                                                      {ID_SAMPLE_STOP, "stop"},        {ID_SAMPLE_PLAY, "play"},
                                                      {ID_SAMPLE_LOOP, "loop"},        {0, nullptr},
                                                      {ID_FILE_PREFERENCES, "preferences"}};
  for (const auto& [id, picture] : buttons) {
    if (id == 0) {
      m_toolBar->addSeparator();
      continue;
    }
    m_actions[id]->setIcon(QIcon(ArtworkPixmap(picture, 16, 15)));
    m_toolBar->addAction(m_actions[id]);
  }
  addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateDriveBar() {
  m_driveBar = new QToolBar(this);
  m_driveBar->setObjectName("drivebar");
  m_driveBar->setMovable(false);
  m_driveBar->addWidget(new QLabel(LoadText(IDS_DRIVE_LABEL), m_driveBar));
  m_driveCombo = new QComboBox(m_driveBar);
  m_driveCombo->setMinimumWidth(190);
  m_driveBar->addWidget(m_driveCombo);
  m_refreshButton = new QPushButton(LoadText(IDS_REFRESH), m_driveBar);
  m_driveBar->addWidget(m_refreshButton);
  connect(m_driveCombo, &QComboBox::currentIndexChanged, this, &CMainFrame::OnDriveSelChange);
  connect(m_refreshButton, &QPushButton::clicked, this, &CMainFrame::OnRefresh);
  addToolBar(Qt::TopToolBarArea, m_driveBar);
}

void CMainFrame::CreateStatusBar() {
  m_statusPane = new QLabel(LoadText(IDS_READY), this);
  statusBar()->addWidget(m_statusPane, 1);
}

// A 1 x 2 splitter: the contents view starts 240 pixels wide and keeps at least 60.
void CMainFrame::CreateClient() {
  m_splitter = new QSplitter(Qt::Horizontal, this);
  auto* contents = new CContentsView(*this);
  auto* items = new CItemView(*this);
  contents->setMinimumWidth(60);
  m_splitter->addWidget(contents);
  m_splitter->addWidget(items);
  m_splitter->setStretchFactor(1, 1);
  m_splitter->setSizes({240, 400});
  setCentralWidget(m_splitter);
  connect(items, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
  // F6 and Shift+F6 move the focus to the other pane.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [contents, items] {
      (contents->hasFocus() ? static_cast<QWidget*>(items) : contents)->setFocus();
    });
  }
}

CContentsView* CMainFrame::GetContentsView() const { return static_cast<CContentsView*>(m_splitter->widget(0)); }

CItemView* CMainFrame::GetItemView() const { return static_cast<CItemView*>(m_splitter->widget(1)); }

void CMainFrame::AttachDisc(SectorSource& source) {
  StopPlayback();
  m_source = &source;
  m_volumeReader = std::make_unique<AkaiVolumeReader>(source);
}

bool CMainFrame::InitDevices() {
  if (!WindowsVersionAccepted()) {
    ShowMessage(IDS_WRONG_WINDOWS, MB_OK);
    return false;
  }
  QSplashScreen splash(ArtworkPixmap("splash", 400, 320));
  splash.show();
  QCoreApplication::processEvents();
  // Without drives the program still runs: no volume reader, no sound device, no
  // SoundFont engine.
  if (!EnumerateDrives()) {
    m_cdReader.reset();
    return true;
  }
  AttachDisc(*m_cdReader);
  FillDriveBar(0);
  try {
    ThePlaybackEngine().OpenDevice(m_preferences.m_dsoundDriver, this);
  } catch (const DSoundException&) {
    ShowMessage(IDS_NO_SOUND_DEVICE, MB_OK);
    return false;
  }
  TheSoundBankBuilder().LoadEngine();
  QThread::msleep(SplashMilliseconds());
  return true;
}

bool CMainFrame::EnumerateDrives() {
  try {
    if (m_cdReader == nullptr) m_cdReader = std::make_unique<CDReader>(m_cdLayer.c_str());
    m_cdReader->EnumerateDrives();
    return true;
  } catch (...) {
    // Only the constructor leaves no reader: the layer could not be loaded.
    ShowError(m_cdReader == nullptr ? IDS_NO_CD_LAYER : IDS_CD_UNREADABLE);
    return false;
  }
}

void CMainFrame::FillDriveBar(int selected) {
  {
    const QSignalBlocker quiet(m_driveCombo);
    m_driveCombo->clear();
    const ChainedList<CDDriveInfo>& drives = m_cdReader->drives();
    for (int i = 0; i < drives.Count(); ++i) {
      const CDDriveInfo& drive = *drives.At(i);
      m_driveCombo->addItem(QString::fromStdString(
          FormatText(IDS_DRIVE_ENTRY, drive.driveLetter, drive.vendor.c_str(), drive.product.c_str())));
    }
    m_driveCombo->setCurrentIndex(drives.Count() > 0 ? selected : -1);
  }
  OnDriveSelChange();
}

// Choosing a drive reads nothing and leaves both views as they are.
void CMainFrame::OnDriveSelChange() {
  if (m_driveCombo->currentIndex() < 0 || m_cdReader == nullptr) return;
  m_cdReader->SelectDevice(m_driveCombo->currentText().toLatin1().at(0));
}

void CMainFrame::ReadTOC() {
  if (m_cdReader != nullptr && m_source == m_cdReader.get()) m_cdReader->ReadTOC();
}

// Reads sector 0 and applies the signature test.
bool CMainFrame::IsAkaiDisc() {
  uint8_t sector[SectorSource::kSectorSize];
  m_source->ReadSectors(0, sector, 1);
  return HasAkaiSignature(sector, sizeof sector);
}

// Opens the disc in the current drive. Playback goes on.
void CMainFrame::OnRefresh() {
  if (m_volumeReader == nullptr) {
    ShowError(IDS_CD_UNREADABLE);
    return;
  }
  try {
    ReadTOC();
  } catch (...) {
    ShowError(IDS_CD_UNREADABLE);
    return;
  }
  bool akai = false;
  try {
    akai = IsAkaiDisc();
  } catch (...) {
    ShowError(IDS_READ_ERROR);
    return;
  }
  if (!akai) {
    ShowError(IDS_NOT_AKAI);
    return;
  }
  try {
    m_volumeReader->ReadPartitions();
  } catch (...) {
    ShowError(IDS_READ_ERROR);
    return;
  }
  FillContents();
}

// A partition whose volume list cannot be read is reported once, and the others are
// still listed.
void CMainFrame::FillContents() {
  const WaitCursor wait;
  CContentsView* contents = GetContentsView();
  contents->DeleteAllRows();
  GetItemView()->DeleteAllRows();
  if (m_volumeReader == nullptr) return;
  bool failed = false;
  const int partitions = m_volumeReader->partitions().Count();
  for (int p = 0; p < partitions; ++p) {
    try {
      m_volumeReader->ReadVolumes(static_cast<uint16_t>(p));
    } catch (...) {
      failed = true;
      continue;
    }
    const ChainedList<AkaiVolume>& volumes = m_volumeReader->volumes();
    for (int v = 0; v < volumes.Count(); ++v) {
      contents->AddVolume(static_cast<uint16_t>(p), static_cast<uint16_t>(v), volumes.At(v)->name);
    }
  }
  if (failed) ShowError(IDS_READ_ERROR);
}

void CMainFrame::UpdateCommands() {
  const bool oneSample = GetItemView()->OneSampleSelected();
  m_actions[ID_SAMPLE_PLAY]->setEnabled(oneSample);
  m_actions[ID_SAMPLE_LOOP]->setEnabled(oneSample);
  m_actions[ID_FILE_EXPORT]->setEnabled(!GetItemView()->SelectedRows().empty());
}

void CMainFrame::PlayOnDoubleClick() {
  if (m_preferences.m_doubleclickPlaysLoop != 0) {
    OnPlayLooped();
  } else {
    OnPlay();
  }
}

void CMainFrame::OnPlay() { Play(false); }

void CMainFrame::OnPlayLooped() { Play(true); }

void CMainFrame::OnStop() { StopPlayback(); }

void CMainFrame::StopPlayback() { ThePlaybackEngine().StopPlayback(); }

void CMainFrame::Play(bool looped) {
  CItemView* items = GetItemView();
  if (!items->OneSampleSelected() || m_volumeReader == nullptr) return;
  const std::string name = items->SelectedRows().front()->text(CItemView::kName).toStdString();
  const uint8_t partition = GetContentsView()->GetSelectedPartition();
  const uint8_t volume = GetContentsView()->GetSelectedVolume();
  if (partition == CContentsView::kNoSelection || volume == CContentsView::kNoSelection) return;
  StopPlayback();
  try {
    m_volumeReader->LoadSample(partition, volume, name.c_str(), true);
  } catch (...) {
    ShowError(IDS_READ_ERROR);
    return;
  }
  const AkaiSample& sample = m_volumeReader->sample();
  const PcmFormat format = PcmFormatForRate(sample.sampleRate);
  if (!looped) {
    ThePlaybackEngine().PlayOnce(sample.data.get(), sample.sampleCount, format);
    return;
  }
  // A loop that does not lie inside the data would send the player past its end: the
  // whole sample loops instead.
  const PlayLoop loop = FindPlayLoopInside(sample);
  ThePlaybackEngine().PlayLooped(sample.data.get(), sample.sampleCount, format, loop.start,
                                 loop.length > 0 ? loop.length : sample.sampleCount);
}

void CMainFrame::OnPreferences() { m_preferences.DoModal(); }

void CMainFrame::OnAppAbout() { CAboutDlg(this).exec(); }

void CMainFrame::OnHelpTopics() { ShowHelpWindow(this); }

void CMainFrame::OnMountImage() {
  const QString path = QFileDialog::getOpenFileName(this, LoadText(IDS_MOUNT_TITLE), QString(), LoadText(IDS_DISC_IMAGES));
  if (!path.isEmpty()) MountImage(path);
}

// An image that a virtual drive holds already is opened in that drive, so that opening
// the same image again does not use up the letters.
void CMainFrame::MountImage(const QString& path) {
  const std::filesystem::path image = path.toStdString();
  char letter = MountedLetter(image);
  try {
    if (letter == 0) letter = aspi::MountImage(image, 0);
  } catch (const aspi::DriveTableError& error) {
    platform::MessageBox(FormatText(IDS_MOUNT_FAILED, error.what()), MB_OK | MB_ICONSTOP);
    return;
  }
  if (!EnumerateDrives()) return;
  if (m_source != m_cdReader.get()) AttachDisc(*m_cdReader);
  const ChainedList<CDDriveInfo>& drives = m_cdReader->drives();
  int entry = 0;
  while (entry < drives.Count() && drives.At(entry)->driveLetter != letter) ++entry;
  FillDriveBar(entry < drives.Count() ? entry : 0);
  OnRefresh();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) { MountImage(event->mimeData()->urls().front().toLocalFile()); }

void CMainFrame::SetStatusText(const std::string& text) { m_statusPane->setText(QString::fromStdString(text)); }
