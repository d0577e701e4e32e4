// The window over the machine's drives and the capture sound device: start-up, a drive
// without a disc, and what a double-click and another volume make heard.
#include <gtest/gtest.h>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/CaptureSound.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/VirtualDrives.h"

namespace {

using soundtest::Capture;
using soundtest::Refuse;
constexpr const char* kNoAnswer = "Device not responding. Try again?";

// The window, started over the machine's drives with the capture device as output.
struct Started {
  explicit Started(std::initializer_list<int> answers, Refuse refuse = Refuse::Nothing,
                   const char* layer = aspi::kLayerName)
      : capture(Capture::Install({.refuse = refuse})) {
    ThePlaybackEngine().EnumerateSoundDrivers();  // the capture device's drivers
    setenv("CARVOX_SPLASH_MS", "0", 1);
    prompt.Script(answers);
    frame.SetCdLayer(layer);
    frame.Create();
    runs = frame.InitDevices();
  }
  ~Started() {
    ThePlaybackEngine().Shutdown();
    Capture::Uninstall();
    for (const aspi::VirtualDrive& drive : aspi::ReadDriveTable().drives) aspi::UnmountDrive(drive.letter);
  }
  Capture& capture;
  testsupport::ScriptedPrompt prompt;
  CMainFrame frame;
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
       {"ERROR: could not open DirectSound driver!\nTerminating program."}, false, true, false},
  };
  for (const auto& c : cases) {
    if (c.mounted) aspi::MountImage(testsupport::FourSectorImage(), 'D');
    if (c.fault) testsupport::SetDriveFault('D', 1, aspi::SS_ERR);
    Started started({platform::IDCANCEL}, c.refuse, c.layer);
    EXPECT_EQ(started.runs, c.runs);
    EXPECT_EQ(started.prompt.texts(), c.texts);
    EXPECT_EQ(started.frame.volumeReader() != nullptr, c.reader);
    const std::vector<Capture::Event> log = started.capture.Log();
    EXPECT_EQ(!log.empty() && log.front().what.starts_with("device"), c.device);
    EXPECT_EQ(started.frame.driveCombo()->currentText().left(10), c.reader && c.mounted ? "D:  CARVOX" : "");
  }
}

// A drive whose image is missing holds no disc: the reader asks, then Refresh says so.
// Once the image is there, Refresh lists it.
TEST(Drives, RefreshWithoutADiscAsksThenSaysSo) {
  const std::filesystem::path image = testsupport::FreshFolder("no-disc") / "later.img";
  const std::string drive = std::string(aspi::kDriveTableKey) + "\\D";
  testsupport::SetMachineString(drive, "Image", image.string());
  testsupport::SetMachineDword(drive, "Target", 0);
  Started started({platform::IDRETRY, platform::IDCANCEL});
  started.frame.OnRefresh();
  EXPECT_EQ(started.prompt.texts(), (std::vector<std::string>{kNoAnswer, kNoAnswer, "Could not read CD."}));
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
    frame.preferences().m_doubleclickPlaysLoop = looped;
    const size_t start = started.capture.Words().size();  // the one-shot before has ended
    frame.PlayOnDoubleClick();
    // Hang guards, not timings: a one-shot ends by itself, a loop goes on.
    ASSERT_TRUE(looped ? started.capture.WaitForWords(start + 3000) : ThePlaybackEngine().WaitForPlaybackEnd(60000));
    const std::vector<int16_t> words = started.capture.Words();
    ASSERT_GE(words.size(), start + 1000);
    for (size_t i = start; i < std::min(words.size(), start + 3000); ++i) {
      ASSERT_EQ(words[i], i - start < 1000 || looped ? 1000 : 0) << i;
    }
  }
  frame.GetContentsView()->setCurrentItem(frame.GetContentsView()->topLevelItem(1));
  EXPECT_TRUE(ThePlaybackEngine().WaitForPlaybackEnd(0));
  EXPECT_TRUE(started.prompt.texts().empty());
}

}  // namespace
