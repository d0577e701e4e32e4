// The window over the machine's drives and the capture sound device: start-up, a drive
// without a disc, and what a double-click and another volume make heard.
#include <gtest/gtest.h>

#include <QTest>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/CaptureSound.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/VirtualDrives.h"

#include <unistd.h>

namespace {

using soundtest::Capture;
using soundtest::Refuse;
constexpr const char* kNoAnswer = "Device not responding. Try again?";

// The letters of the virtual drives, in order.
std::string MountedLetters() {
  std::string letters;
  for (const aspi::VirtualDrive& drive : aspi::ReadDriveTable().drives) letters += drive.letter;
  return letters;
}

// Unmounts every virtual drive when it goes.
struct UnmountAll {
  ~UnmountAll() {
    for (const char letter : MountedLetters()) aspi::UnmountDrive(letter);
  }
};

// Notes the drives mounted when a message is shown, and passes the message on.
class LettersWhenShown : public platform::Prompt {
 public:
  LettersWhenShown() : next_(platform::InstallPrompt(this)) {}
  ~LettersWhenShown() override { platform::InstallPrompt(next_); }
  int Show(const std::string& text, const std::string& caption, unsigned type) override {
    letters = MountedLetters();
    return next_->Show(text, caption, type);
  }
  std::string letters;

 private:
  platform::Prompt* next_;
};

// The window, started over the machine's drives with the capture device as output.
// The drives left are unmounted once the window has gone.
struct Started {
  explicit Started(std::initializer_list<int> answers, Refuse refuse = Refuse::Nothing,
                   const char* layer = aspi::kLayerName)
      : capture(Capture::Install({.refuse = refuse})) {
    apptest::Engine().EnumerateSoundDrivers();  // the capture device's drivers
    setenv("CARVOX_SPLASH_MS", "0", 1);
    prompt.Script(answers);
    frame.SetCdLayer(layer);
    frame.Create();
    runs = frame.InitDevices();
  }
  ~Started() {
    apptest::Engine().Shutdown();
    Capture::Uninstall();
  }
  UnmountAll cleanup;
  Capture& capture;
  testsupport::ScriptedPrompt prompt;
  CMainFrame frame{apptest::Engine(), apptest::BankBuilder()};
  bool runs = false;
};

TEST(StartUp, DrivesLayerAndSoundDeviceDecide) {
  const struct {
    bool mounted, fault;
    Refuse refuse;
    const char* layer;
    std::vector<std::string> texts;
    bool runs, reader, device;
  } cases[] = {
      {false, false, Refuse::Nothing, aspi::kLayerName, {}, true, true, true},  // no drives
      {true, false, Refuse::Nothing, aspi::kLayerName, {}, true, true, true},
      {true, false, Refuse::Nothing, "/nonexistent/libwnaspi32.so",
       {"The CD-ROM access layer is not installed.\nCarvox cannot read CD-ROMs."}, true, false, false},
      {true, true, Refuse::Nothing, aspi::kLayerName, {kNoAnswer, "Could not read CD."}, true, false, false},
      {true, false, Refuse::Create, aspi::kLayerName,
       {"ERROR: could not open the sound output!\nTerminating program.\n(the device could not be opened (error 4))"},
       false, true, false},
  };
  for (const auto& c : cases) {
    if (c.mounted) aspi::MountImage(testsupport::FourSectorImage(), 'D');
    if (c.fault) testsupport::SetDriveFault('D', 1, aspi::SS_ERR);
    Started started({platform::IDCANCEL}, c.refuse, c.layer);
    EXPECT_EQ(started.runs, c.runs);
    EXPECT_EQ(started.prompt.texts(), c.texts);
    EXPECT_EQ(started.frame.cdReader() != nullptr, c.reader);
    const std::vector<Capture::Event> log = started.capture.Log();
    EXPECT_EQ(!log.empty() && log.front().what.starts_with("device"), c.device);
    // A virtual drive is named by its image.
    EXPECT_EQ(started.frame.driveCombo()->currentText(), c.reader && c.mounted ? "D:  four.iso" : "");
  }
}

// A virtual drive whose image is missing says so at once: retrying cannot help. Once the
// image is there, Refresh lists it.
TEST(Drives, RefreshWithoutItsImageSaysSo) {
  const std::filesystem::path image = testsupport::FreshFolder("no-disc") / "later.img";
  const std::string drive = std::string(aspi::kDriveTableKey) + "\\D";
  testsupport::SetMachineString(drive, "Image", image.string());
  testsupport::SetMachineDword(drive, "Target", 0);
  Started started({});
  started.frame.OnRefresh();
  EXPECT_EQ(started.prompt.texts(),
            (std::vector<std::string>{"The disc image of drive D: is missing:\n" + image.string()}));
  akaiimage::WriteImage(apptest::Drums(), image);
  started.frame.OnRefresh();
  EXPECT_EQ(started.frame.GetContentsView()->topLevelItemCount(), 3);
}

// SNARE (1,000 words of 1000) has no loop: looped, the whole sample repeats; once,
// silence follows. Listing another volume stops the sound.
TEST(Drives, DoubleClickPlaysOnceOrLoopedAndAnotherVolumeStops) {
  const std::filesystem::path image = testsupport::FreshFolder("drums") / "drums.img";
  akaiimage::WriteImage(apptest::Drums(), image);
  Started started({});
  CMainFrame& frame = started.frame;
  for (int again = 0; again < 2; ++again) frame.MountImage(QString::fromStdString(image.string()));
  ASSERT_EQ(frame.driveCombo()->count(), 1);  // mounted once
  frame.GetContentsView()->setCurrentItem(frame.GetContentsView()->topLevelItem(0));
  frame.GetItemView()->topLevelItem(2)->setSelected(true);
  for (const int looped : {0, 1}) {
    frame.settings().m_doubleclickPlaysLoop = looped;
    const size_t start = started.capture.Words().size();  // the one-shot before has ended
    frame.PlayOnDoubleClick();
    EXPECT_EQ(frame.statusText(), looped ? "Playing SNARE (looped)" : "Playing SNARE");
    // Hang guards, not timings: a one-shot ends by itself, a loop goes on.
    ASSERT_TRUE(looped ? started.capture.WaitForWords(start + 3000) : apptest::Engine().WaitForPlaybackEnd(60000));
    const std::vector<int16_t> words = started.capture.Words();
    ASSERT_GE(words.size(), start + 1000);
    for (size_t i = start; i < std::min(words.size(), start + 3000); ++i) {
      ASSERT_EQ(words[i], i - start < 1000 || looped ? 1000 : 0) << i;
    }
  }
  frame.GetContentsView()->setCurrentItem(frame.GetContentsView()->topLevelItem(1));
  EXPECT_TRUE(apptest::Engine().WaitForPlaybackEnd(0));
  EXPECT_EQ(frame.statusText(), "Ready");
  EXPECT_TRUE(started.prompt.texts().empty());
}

// A sound device that fails says so, with the step that failed.
TEST(Drives, ASoundDeviceThatFailsSaysWhy) {
  const std::filesystem::path image = testsupport::FreshFolder("drums") / "drums.img";
  akaiimage::WriteImage(apptest::Drums(), image);
  Started started({}, Refuse::SecondaryBuffer);
  started.frame.MountImage(QString::fromStdString(image.string()));
  started.frame.GetContentsView()->setCurrentItem(started.frame.GetContentsView()->topLevelItem(0));
  started.frame.GetItemView()->topLevelItem(2)->setSelected(true);
  started.frame.OnPlay();
  // A hang guard, not a timing: the failure shows once the window looks at the engine.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !started.prompt.texts().empty(); }, 60000));
  EXPECT_EQ(started.prompt.texts(),
            (std::vector<std::string>{"The sound output failed: the sound buffer could not be made (error 6)"}));
  EXPECT_EQ(started.frame.statusText(), "Ready");
}

// The drives the window mounts are its own: Close Disc, a refused file and the end of
// the window unmount them; a drive mounted by carvox-vdrive stays. Each refusal is
// shown once its drive is gone.
TEST(Drives, TheWindowReleasesTheDrivesItMounted) {
  const std::filesystem::path folder = testsupport::FreshFolder("own-drives");
  akaiimage::WriteImage(apptest::Drums(), folder / "drums.img");
  const QString drums = QString::fromStdString((folder / "drums.img").string());
  const auto letters = MountedLetters;
  std::string afterExit;
  aspi::MountImage(testsupport::FourSectorImage(), 'K');  // carvox-vdrive's
  {
    Started started({});
    CMainFrame& frame = started.frame;
    QObject::connect(&frame, &QObject::destroyed, [&] { afterExit = letters(); });
    frame.MountImage(drums);
    EXPECT_EQ(letters(), "DK");
    EXPECT_EQ(frame.driveCombo()->currentText(), "D:  drums.img");
    EXPECT_EQ(frame.windowTitle(), "Carvox - drums.img");
    EXPECT_EQ(RecordedMounts().size(), 1u);
    frame.OnCloseDisc();
    EXPECT_EQ(letters(), "K");
    EXPECT_EQ(frame.windowTitle(), "Carvox");
    EXPECT_EQ(frame.GetContentsView()->topLevelItemCount(), 0);
    EXPECT_TRUE(RecordedMounts().empty());

    LettersWhenShown refusal;
    frame.MountImage(drums);
    frame.driveCombo()->setCurrentIndex(frame.driveCombo()->findText("K:  four.iso"));
    frame.OnCloseDisc();  // not the window's: it stays
    EXPECT_EQ(letters(), "DK");
    std::filesystem::copy_file(testsupport::FourSectorImage(), folder / "plain.iso");
    frame.MountImage(QString::fromStdString((folder / "plain.iso").string()));
    EXPECT_EQ(refusal.letters, "DK");
    EXPECT_EQ(frame.driveCombo()->currentText(), "K:  four.iso");  // the drive chosen before
    EXPECT_EQ(started.prompt.texts().back(), "This CD doesn't seem to be a valid AKAI S1000 or S3000 CD.");
  }
  EXPECT_EQ(afterExit, "K");
}

// Drives recorded by a window that no longer runs are unmounted at the next start;
// those of a window that runs, and those nobody recorded, stay.
TEST(Drives, AStartReclaimsTheDrivesOfAWindowThatWasKilled) {
  const std::filesystem::path image = testsupport::FourSectorImage();
  const long gone = 99999999;  // above any process id the system gives
  const struct {
    char letter;
    long process;  // 0: not recorded
    bool stays;
  } cases[] = {{'D', gone, false}, {'E', static_cast<long>(getppid()), true}, {'F', 0, true}};
  for (const auto& c : cases) {
    aspi::MountImage(image, c.letter);
    if (c.process != 0) RecordMount({c.letter, c.process, image.string()});
  }
  RecordMount({'G', gone, image.string()});  // unmounted by hand since
  const UnmountAll cleanup;
  CMainFrame::ReclaimDrives();
  EXPECT_EQ(MountedLetters(), "EF");
  EXPECT_EQ(RecordedMounts().size(), 1u);
  ForgetMount('E');
}

// A virtual drive whose image is cut short says so wherever a read reaches past its
// end, without offering a retry.
TEST(Drives, ACutShortImageSaysSo) {
  const std::filesystem::path image = testsupport::FreshFolder("cut") / "cut.img";
  const akaiimage::ImageLayout layout = akaiimage::WriteImage(apptest::Drums(), image);
  const akaiimage::FileLayout& kick = layout.partitions[0].volumes[0].files[0];
  std::filesystem::resize_file(image, uint64_t{kick.absoluteBlocks[1]} * 8192);  // KICK's second block on
  Started started({});
  CMainFrame& frame = started.frame;
  frame.MountImage(QString::fromStdString(image.string()));
  EXPECT_EQ(frame.statusText(), "Could not read partition 2 of the partition table: its volumes are not listed");
  frame.GetContentsView()->setCurrentItem(frame.GetContentsView()->topLevelItem(0));
  frame.GetItemView()->topLevelItem(0)->setSelected(true);
  frame.OnPlay();
  EXPECT_EQ(started.prompt.texts(), std::vector<std::string>{"Drive D: reads past the end of its disc image, which is "
                                                             "cut short:\n" + image.string()});
}

}  // namespace
