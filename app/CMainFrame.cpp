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
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <signal.h>
#include <unistd.h>

#include "akai/PlayLoopAndTuning.h"
#include "akai/VolumeItems.h"
#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/internal/Artwork.h"
#include "app/internal/CAboutDlg.h"
#include "app/internal/CPreferencesDlg.h"
#include "app/internal/HelpWindow.h"
#include "app/internal/Strings.h"
#include "app/internal/WaitCursor.h"
#include "audio/Pcm.h"
#include "common/CodedError.h"
#include "export/SoundBankBuilder.h"
#include "platform/aspi/DriveTable.h"
#include "platform/registry/Registry.h"
#include "platform/registry/SystemInfo.h"

namespace {

using platform::MB_ICONSTOP;
using platform::MB_OK;

void ShowError(const std::string& text) { platform::MessageBox(text, MB_OK | MB_ICONSTOP); }

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

bool ProcessRuns(long process) { return process > 0 && (kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM); }

// How often the status bar looks whether the sample still plays.
constexpr int kPlaybackWatchMs = 200;

}  // namespace

CMainFrame::CMainFrame(PlaybackEngine& engine, SoundBankBuilder& builder, const SoundDriverSource* drivers)
    : engine_(engine), builder_(builder), m_settings(LoadSettings(DriversOf(drivers))), drivers_(drivers) {
  builder_.SetStatusLine(&m_statusLine);
  setWindowIcon(ProgramIcon());
  setWindowTitle(LoadText(IDS_APP_TITLE));
  setAcceptDrops(true);
  m_playbackWatch.setInterval(kPlaybackWatchMs);
  connect(&m_playbackWatch, &QTimer::timeout, this, &CMainFrame::WatchPlayback);
}

// Nothing may play from the disc's reader once it goes. A destructor must not throw:
// a hive that became unreadable while the program ran loses these values (every
// earlier call reported it).
CMainFrame::~CMainFrame() {
  builder_.SetStatusLine(nullptr);
  StopPlayback();
  m_disc.reset();
  try {
    while (!m_ownDrives.empty()) ReleaseDrive(m_ownDrives.begin()->first);
    if (m_splitter != nullptr) {
      m_settings.m_windowGeometry = saveGeometry().toBase64().toStdString();
      m_settings.m_splitterState = m_splitter->saveState().toBase64().toStdString();
    }
    SaveWindowState(m_settings);
  } catch (const platform::HiveError&) {
  }
}

void CMainFrame::Create() {
  CreateClient();
  CreateMenus();
  CreateToolBar();
  CreateDriveBar();
  CreateStatusBar();
  DescribeControls();
  RestoreWindowState();
  UpdateCommands();
}

QAction* CMainFrame::AddCommand(QMenu* menu, unsigned id, unsigned textId, const QList<QKeySequence>& keys) {
  QAction* command = m_actions.count(id) != 0 ? m_actions[id] : new QAction(LoadText(textId), this);
  command->setStatusTip(CommandPrompt(id));
  command->setToolTip(CommandTip(id));
  if (!keys.isEmpty()) command->setShortcuts(keys);
  if (menu != nullptr) menu->addAction(command);
  m_actions[id] = command;
  return command;
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(LoadText(IDS_MENU_FILE));
  connect(AddCommand(file, ID_FILE_MOUNT_IMAGE, IDS_MENU_FILE_MOUNT, {QKeySequence(Qt::CTRL | Qt::Key_O)}),
          &QAction::triggered, this, &CMainFrame::OnMountImage);
  connect(AddCommand(file, ID_FILE_CLOSE_DISC, IDS_MENU_FILE_CLOSE, {QKeySequence(Qt::CTRL | Qt::Key_W)}),
          &QAction::triggered, this, &CMainFrame::OnCloseDisc);
  file->addSeparator();
  connect(AddCommand(file, ID_FILE_EXPORT, IDS_MENU_FILE_EXPORT, {QKeySequence(Qt::CTRL | Qt::Key_E)}),
          &QAction::triggered, this, &CMainFrame::ExportSelection);
  connect(AddCommand(file, ID_FILE_PREFERENCES, IDS_MENU_FILE_PREFERENCES), &QAction::triggered, this,
          &CMainFrame::OnPreferences);
  file->addSeparator();
  connect(AddCommand(file, ID_APP_EXIT, IDS_MENU_FILE_EXIT, {QKeySequence(Qt::CTRL | Qt::Key_Q)}),
          &QAction::triggered, this, &QWidget::close);

  QMenu* sample = menuBar()->addMenu(LoadText(IDS_MENU_SAMPLE));
  connect(AddCommand(sample, ID_SAMPLE_PLAY, IDS_MENU_SAMPLE_PLAY, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}),
          &QAction::triggered, this, &CMainFrame::OnPlay);
  connect(AddCommand(sample, ID_SAMPLE_LOOP, IDS_MENU_SAMPLE_LOOP), &QAction::triggered, this,
          &CMainFrame::OnPlayLooped);
  connect(AddCommand(sample, ID_SAMPLE_STOP, IDS_MENU_SAMPLE_STOP, {QKeySequence(Qt::Key_Escape)}),
          &QAction::triggered, this, &CMainFrame::OnStop);
  connect(AddCommand(sample, ID_SAMPLE_PLAY_OR_STOP, IDS_MENU_SAMPLE_PLAY_OR_STOP, {QKeySequence(Qt::Key_Space)}),
          &QAction::triggered, this, &CMainFrame::OnPlayOrStop);
  // Enter and Space act in the item view only: elsewhere they press buttons and open
  // the drive box.
  for (const unsigned id : {ID_SAMPLE_PLAY, ID_SAMPLE_PLAY_OR_STOP}) {
    m_actions[id]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    GetItemView()->addAction(m_actions[id]);
  }

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
  connect(AddCommand(help, ID_HELP_FINDER, IDS_MENU_HELP_TOPICS, {QKeySequence(Qt::Key_F1)}), &QAction::triggered,
          this, &CMainFrame::OnHelpTopics);
  connect(AddCommand(help, ID_APP_ABOUT, IDS_MENU_HELP_ABOUT), &QAction::triggered, this, &CMainFrame::OnAppAbout);
}

// Export, Stop, Play, Loop and Preferences.
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
    QWidget* button = m_toolBar->widgetForAction(m_actions[id]);
    button->setAccessibleName(CommandTip(id));
    button->setAccessibleDescription(CommandPrompt(id));
  }
  addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateDriveBar() {
  m_driveBar = new QToolBar(this);
  m_driveBar->setObjectName("drivebar");
  m_driveBar->setMovable(false);
  auto* label = new QLabel(LoadText(IDS_DRIVE_LABEL), m_driveBar);
  m_driveBar->addWidget(label);
  m_driveCombo = new QComboBox(m_driveBar);
  m_driveCombo->setMinimumWidth(190);
  m_driveCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  label->setBuddy(m_driveCombo);
  m_driveBar->addWidget(m_driveCombo);
  m_refreshButton = new QPushButton(LoadText(IDS_REFRESH), m_driveBar);
  m_driveBar->addWidget(m_refreshButton);
  m_driveBar->addSeparator();
  m_filterBox = new QLineEdit(m_driveBar);
  m_filterBox->setPlaceholderText(LoadText(IDS_FILTER_PLACEHOLDER));
  m_filterBox->setClearButtonEnabled(true);
  m_filterBox->setMaximumWidth(220);
  m_driveBar->addWidget(m_filterBox);
  connect(m_driveCombo, &QComboBox::currentIndexChanged, this, &CMainFrame::OnDriveSelChange);
  connect(m_refreshButton, &QPushButton::clicked, this, &CMainFrame::OnRefresh);
  connect(m_filterBox, &QLineEdit::textChanged, this, [this](const QString& text) {
    GetItemView()->SetFilter(text);
    UpdateCommands();
  });
  addToolBar(Qt::TopToolBarArea, m_driveBar);
}

void CMainFrame::CreateStatusBar() {
  m_statusPane = new QLabel(LoadText(IDS_READY), this);
  statusBar()->addWidget(m_statusPane, 1);
}

// A 1 x 2 splitter: the contents view starts 240 pixels wide and keeps at least 60.
void CMainFrame::CreateClient() {
  m_splitter = new QSplitter(Qt::Horizontal, this);
  auto* contents = new CContentsView(m_splitter);
  auto* items = new CItemView(m_splitter);
  contents->setMinimumWidth(60);
  m_splitter->addWidget(contents);
  m_splitter->addWidget(items);
  m_splitter->setStretchFactor(1, 1);
  m_splitter->setSizes({240, kDefaultWidth - 240});
  setCentralWidget(m_splitter);
  connect(contents, &CContentsView::volumeSelected, this, &CMainFrame::ListVolume);
  connect(items, &QTreeWidget::itemSelectionChanged, this, &CMainFrame::UpdateCommands);
  connect(items, &CItemView::playRequested, this, &CMainFrame::Play);
  connect(items, &CItemView::rowDoubleClicked, this, &CMainFrame::PlayOnDoubleClick);
  connect(items, &CItemView::exportRequested, this, &CMainFrame::ExportSelection);
  connect(items, &CItemView::dragRequested, this, &CMainFrame::DragSelection);
  // F6 and Shift+F6 move the focus to the other pane.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [contents, items] {
      (contents->hasFocus() ? static_cast<QWidget*>(items) : contents)->setFocus();
    });
  }
}

void CMainFrame::DescribeControls() {
  DescribeForAccessibility({{GetContentsView(), IDS_ACC_CONTENTS},
                            {GetItemView(), IDS_ACC_ITEMS},
                            {m_driveCombo, IDS_ACC_DRIVE},
                            {m_refreshButton, IDS_ACC_REFRESH},
                            {m_filterBox, IDS_ACC_FILTER},
                            {m_statusPane, IDS_ACC_STATUS},
                            {m_toolBar, IDS_ACC_TOOLBAR},
                            {m_driveBar, IDS_ACC_DRIVEBAR}});
}

// The size and splitter the window had when it last closed; the default size the first
// time, or when the kept geometry cannot be used.
void CMainFrame::RestoreWindowState() {
  resize(kDefaultWidth, kDefaultHeight);
  restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(m_settings.m_windowGeometry)));
  m_splitter->restoreState(QByteArray::fromBase64(QByteArray::fromStdString(m_settings.m_splitterState)));
}

CContentsView* CMainFrame::GetContentsView() const { return static_cast<CContentsView*>(m_splitter->widget(0)); }

CItemView* CMainFrame::GetItemView() const { return static_cast<CItemView*>(m_splitter->widget(1)); }

void CMainFrame::AttachDisc(SectorSource& source) { m_source = &source; }

bool CMainFrame::InitDevices() {
  if (!WindowsVersionAccepted()) {
    ShowMessage(IDS_WRONG_WINDOWS, MB_OK);
    return false;
  }
  QSplashScreen splash(ArtworkPixmap("splash", 400, 320));
  splash.show();
  QCoreApplication::processEvents();
  ReclaimDrives();
  // Without drives the program still runs: no disc source, no sound device, no
  // SoundFont engine.
  if (!EnumerateDrives()) {
    m_cdReader.reset();
    return true;
  }
  AttachDisc(*m_cdReader);
  FillDriveBar(0);
  try {
    engine_.OpenDevice(m_settings.m_dsoundDriver, this);
  } catch (const DSoundException& failure) {
    platform::MessageBox(LoadText(IDS_NO_SOUND_DEVICE).toStdString() + "\n(" + SoundFailureText(failure.code) + ")",
                         MB_OK);
    return false;
  }
  builder_.LoadEngine();
  QThread::msleep(SplashMilliseconds());
  return true;
}

bool CMainFrame::EnumerateDrives() {
  try {
    if (m_cdReader == nullptr) m_cdReader = std::make_unique<CDReader>(m_cdLayer.c_str());
    m_cdReader->EnumerateDrives();
    return true;
  } catch (const CDReaderException&) {
    // Only the constructor leaves no reader: the layer could not be loaded.
    ShowMessage(m_cdReader == nullptr ? IDS_NO_CD_LAYER : IDS_CD_UNREADABLE, MB_OK | MB_ICONSTOP);
    return false;
  }
}

std::string CMainFrame::ImageOfDrive(char letter) {
  for (const aspi::VirtualDrive& drive : aspi::ReadDriveTable().drives) {
    if (drive.letter == letter) return drive.image;
  }
  return "";
}

// A virtual drive is named by its image file, any other by its inquiry strings.
void CMainFrame::FillDriveBar(char letter) {
  {
    const QSignalBlocker quiet(m_driveCombo);
    m_driveCombo->clear();
    const ChainedList<CDDriveInfo>& drives = m_cdReader->drives();
    int selected = drives.Count() > 0 ? 0 : -1;
    for (int i = 0; i < drives.Count(); ++i) {
      const CDDriveInfo& drive = *drives.At(i);
      const std::string image = drive.hostAdapter == aspi::kVirtualAdapter ? ImageOfDrive(drive.driveLetter) : "";
      const std::string entry =
          image.empty() ? FormatText(IDS_DRIVE_ENTRY, drive.driveLetter, drive.vendor.c_str(), drive.product.c_str())
                        : FormatText(IDS_DRIVE_IMAGE_ENTRY, drive.driveLetter,
                                     std::filesystem::path(image).filename().c_str());
      m_driveCombo->addItem(QString::fromStdString(entry), QChar(drive.driveLetter));
      if (drive.driveLetter == letter) selected = i;
    }
    m_driveCombo->setCurrentIndex(selected);
  }
  OnDriveSelChange();
}

char CMainFrame::CurrentLetter() const {
  return m_driveCombo->currentIndex() < 0 ? 0 : m_driveCombo->currentData().toChar().toLatin1();
}

// Choosing a drive reads nothing and leaves both views as they are.
void CMainFrame::OnDriveSelChange() {
  if (m_driveCombo->currentIndex() < 0 || m_cdReader == nullptr) return;
  m_cdReader->SelectDevice(CurrentLetter());
}

std::string CMainFrame::ReadFailureText(unsigned fallback) const {
  const CDReader::ImageFault fault =
      m_cdReader != nullptr && m_source == m_cdReader.get() ? m_cdReader->lastImageFault() : CDReader::ImageFault::kNone;
  if (fault == CDReader::ImageFault::kNone) return LoadText(fallback).toStdString();
  const char letter = CurrentLetter();
  return FormatText(fault == CDReader::ImageFault::kPastEnd ? IDS_IMAGE_CUT_SHORT : IDS_IMAGE_MISSING, letter,
                    ImageOfDrive(letter).c_str());
}

template <class Read>
std::string CMainFrame::TryRead(Read&& read) {
  try {
    read();
    return "";
  } catch (const CodedError&) {
    // The reader's, the device's and the list's failures are all told as a read error.
  }
  return ReadFailureText(IDS_READ_ERROR);
}

void CMainFrame::OnRefresh() {
  const std::string failure = OpenDisc();
  if (!failure.empty()) ShowError(failure);
}

// A disc that cannot be opened leaves the one open before, and what plays, as they
// are; a disc that opens replaces it, so the sound stops first.
std::string CMainFrame::OpenDisc() {
  if (m_source == nullptr) return LoadText(IDS_CD_UNREADABLE).toStdString();
  // The table of contents is the probe that a disc is in the drive; an image attached
  // directly has none to read.
  if (m_cdReader != nullptr && m_source == m_cdReader.get()) {
    try {
      m_cdReader->ReadTOC();
    } catch (const CDReaderException&) {
      return ReadFailureText(IDS_CD_UNREADABLE);
    }
  }
  std::unique_ptr<AkaiDisc> disc;
  try {
    disc = std::make_unique<AkaiDisc>(*m_source);
  } catch (const AkaiDisc::OpenError& error) {
    return error.step == AkaiDisc::Step::kSignature ? LoadText(IDS_NOT_AKAI).toStdString()
                                                    : ReadFailureText(IDS_READ_ERROR);
  }
  StopPlayback();
  m_disc = std::move(disc);
  FillContents();
  UpdateTitle();
  return "";
}

// Partitions that cannot be read are named in the status bar, and the others are
// still listed; a volume list that fails is also shown as a message, once.
void CMainFrame::FillContents() {
  const WaitCursor wait;
  CContentsView* contents = GetContentsView();
  contents->DeleteAllRows();
  GetItemView()->DeleteAllRows();
  AkaiVolumeReader* reader = volumeReader();
  if (reader == nullptr) return;
  std::string unreadable;
  for (const SkippedPartition& skipped : m_disc->skipped()) {
    unreadable += FormatText(IDS_TABLE_PARTITION_UNREADABLE, skipped.tableIndex + 1) + "; ";
  }
  std::string failure;
  const int partitions = reader->partitions().Count();
  for (int p = 0; p < partitions; ++p) {
    const std::string read = TryRead([&] { reader->ReadVolumes(static_cast<uint16_t>(p)); });
    if (!read.empty()) {
      failure = read;
      const char letter[2] = {static_cast<char>('A' + p), '\0'};
      unreadable += FormatText(IDS_PARTITION_UNREADABLE, letter) + "; ";
      continue;
    }
    const ChainedList<AkaiVolume>& volumes = reader->volumes();
    for (int v = 0; v < volumes.Count(); ++v) {
      contents->AddVolume(static_cast<uint16_t>(p), static_cast<uint16_t>(v), volumes.At(v)->name);
    }
  }
  SetStatusText(unreadable.empty() ? LoadText(IDS_READY).toStdString() : unreadable.substr(0, unreadable.size() - 2));
  if (!failure.empty()) ShowError(failure);
}

// Stops playback first: the sample being played may be replaced. A sample whose
// header cannot be read keeps its row and is named in the status bar.
void CMainFrame::ListVolume(uint16_t partition, uint16_t volume) {
  CItemView* view = GetItemView();
  view->DeleteAllRows();
  AkaiVolumeReader* reader = volumeReader();
  if (reader == nullptr) return;
  const WaitCursor wait;
  StopPlayback();
  std::vector<VolumeItem> items;
  const std::string failure = TryRead([&] { items = ListVolumeItems(*reader, partition, volume); });
  for (const VolumeItem& item : items) {
    if (!item.headerRead) SetStatusText(FormatText(IDS_SAMPLE_HEADER_FAILED, item.name.c_str()));
  }
  view->SetItems(std::move(items));
  if (!failure.empty()) ShowError(failure);
}

void CMainFrame::UpdateTitle() {
  char label[13] = {};
  std::string name;
  if (AkaiVolumeReader* reader = volumeReader(); reader != nullptr && reader->partitions().Count() > 0 &&
                                                 reader->ReadCdLabel(0, label) && label[0] != '\0') {
    name = label;
  } else if (m_disc != nullptr && m_cdReader != nullptr && m_source == m_cdReader.get()) {
    name = std::filesystem::path(ImageOfDrive(CurrentLetter())).filename().string();
  }
  setWindowTitle(name.empty() ? LoadText(IDS_APP_TITLE)
                              : QString::fromStdString(FormatText(IDS_TITLE_WITH_DISC, name.c_str())));
}

void CMainFrame::UpdateCommands() {
  const bool oneSample = GetItemView()->OneSampleSelected();
  m_actions[ID_SAMPLE_PLAY]->setEnabled(oneSample);
  m_actions[ID_SAMPLE_LOOP]->setEnabled(oneSample);
  m_actions[ID_FILE_EXPORT]->setEnabled(!GetItemView()->SelectedRows().empty());
}

void CMainFrame::PlayOnDoubleClick() { Play(m_settings.m_doubleclickPlaysLoop != 0); }

void CMainFrame::OnPlay() { Play(false); }

void CMainFrame::OnPlayLooped() { Play(true); }

void CMainFrame::OnStop() { StopPlayback(); }

void CMainFrame::OnPlayOrStop() {
  if (m_playbackWatch.isActive()) {
    StopPlayback();
  } else {
    Play(false);
  }
}

void CMainFrame::StopPlayback() {
  engine_.StopPlayback();
  if (m_playbackWatch.isActive()) {
    m_playbackWatch.stop();
    SetStatusText(LoadText(IDS_READY).toStdString());
  }
}

void CMainFrame::Play(bool looped) {
  CItemView* items = GetItemView();
  AkaiVolumeReader* reader = volumeReader();
  const uint8_t partition = GetContentsView()->GetSelectedPartition();
  const uint8_t volume = GetContentsView()->GetSelectedVolume();
  if (!items->OneSampleSelected() || reader == nullptr || partition == CContentsView::kNoSelection) return;
  const std::string name = items->SelectedItems().front().name;
  StopPlayback();
  const std::string failure = TryRead([&] { reader->LoadSample(partition, volume, name.c_str(), true); });
  if (!failure.empty()) {
    ShowError(failure);
    return;
  }
  const AkaiSample& sample = reader->sample();
  const PcmFormat format = PcmFormatForRate(sample.sampleRate);
  try {
    if (looped) {
      const PlayLoop loop = LoopForPlay(sample);
      engine_.PlayLooped(sample.data.get(), sample.sampleCount, format, loop.start, loop.length);
    } else {
      engine_.PlayOnce(sample.data.get(), sample.sampleCount, format);
    }
  } catch (const DSoundException& failed) {
    ShowSoundFailure(SoundFailureText(failed.code));
    return;
  }
  SetStatusText(FormatText(looped ? IDS_PLAYING_LOOPED : IDS_PLAYING, name.c_str()));
  m_playbackWatch.start();
}

void CMainFrame::WatchPlayback() {
  if (!engine_.WaitForPlaybackEnd(0)) return;
  m_playbackWatch.stop();
  SetStatusText(LoadText(IDS_READY).toStdString());
  if (const std::optional<std::string> output = platform::TakeSoundOutputFailure()) {
    ShowSoundFailure(*output);
  } else if (engine_.lastThreadFailure() != 0) {
    ShowSoundFailure(SoundFailureText(engine_.lastThreadFailure()));
  }
}

void CMainFrame::ShowSoundFailure(const std::string& reason) {
  ShowError(FormatText(IDS_SOUND_FAILED, reason.c_str()));
}

void CMainFrame::OnPreferences() { CPreferencesDlg(m_settings, drivers_, this).DoModal(); }

void CMainFrame::OnAppAbout() { CAboutDlg(this).exec(); }

void CMainFrame::OnHelpTopics() { ShowHelpWindow(this); }

void CMainFrame::OnMountImage() {
  const QString path = QFileDialog::getOpenFileName(this, LoadText(IDS_MOUNT_TITLE), QString(), LoadText(IDS_DISC_IMAGES));
  if (!path.isEmpty()) MountImage(path);
}

// An image that a virtual drive holds already is opened in that drive, so that opening
// the same image again does not use up the letters; only a drive mounted here is the
// window's own. While an export runs, the disc it reads must stay.
void CMainFrame::MountImage(const QString& path) {
  // Said in the status bar: a message box would join the export's collected reasons.
  if (m_exporting) {
    SetStatusText(LoadText(IDS_BUSY_EXPORTING).toStdString());
    return;
  }
  const std::filesystem::path image = path.toStdString();
  const char before = CurrentLetter();
  char letter = MountedLetter(image);
  const bool mountedHere = letter == 0;
  try {
    if (mountedHere) letter = aspi::MountImage(image, 0);
  } catch (const aspi::DriveTableError& error) {
    ShowError(FormatText(IDS_MOUNT_FAILED, error.what()));
    return;
  }
  if (mountedHere) {
    m_ownDrives[letter] = image.string();
    RecordMount({letter, static_cast<long>(getpid()), image.string()});
  }
  if (!EnumerateDrives()) return;
  AttachDisc(*m_cdReader);
  FillDriveBar(letter);
  const std::string failure = OpenDisc();
  if (failure.empty()) return;
  // The disc listed before stays, read through its own drive again.
  if (mountedHere) {
    ReleaseDrive(letter);
    if (EnumerateDrives()) FillDriveBar(before);
  } else {
    FillDriveBar(before);
  }
  ShowError(failure);
}

void CMainFrame::ReleaseDrive(char letter) {
  if (m_ownDrives.erase(letter) == 0) return;
  try {
    aspi::UnmountDrive(letter);
  } catch (const aspi::DriveTableError&) {
    // Unmounted already (carvox-vdrive): nothing is left to release.
  }
  ForgetMount(letter);
}

void CMainFrame::ReclaimDrives() {
  const std::vector<aspi::VirtualDrive> drives = aspi::ReadDriveTable().drives;
  for (const MountRecord& mount : RecordedMounts()) {
    if (ProcessRuns(mount.process) && mount.process != getpid()) continue;
    for (const aspi::VirtualDrive& drive : drives) {
      if (drive.letter == mount.letter && drive.image == mount.image) aspi::UnmountDrive(drive.letter);
    }
    ForgetMount(mount.letter);
  }
}

// Empties the views; a drive this window mounted for the disc is unmounted.
void CMainFrame::OnCloseDisc() {
  if (m_exporting) return;
  StopPlayback();
  m_disc.reset();
  FillContents();
  const char letter = CurrentLetter();
  if (m_ownDrives.count(letter) != 0) {
    ReleaseDrive(letter);
    if (EnumerateDrives()) FillDriveBar(0);
  }
  UpdateTitle();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_exporting && event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile() &&
      event->source() == nullptr) {
    event->acceptProposedAction();
  }
}

void CMainFrame::dropEvent(QDropEvent* event) { MountImage(event->mimeData()->urls().front().toLocalFile()); }

void CMainFrame::SetStatusText(const std::string& text) { m_statusPane->setText(QString::fromStdString(text)); }
