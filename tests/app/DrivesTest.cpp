// The window over the machine's drives and sound device: start-up, a drive without a
// disc, mounting an image, and what is heard through the capture device.
#include <gtest/gtest.h>

#include "app/CContentsView.h"
#include "app/CItemView.h"
#include "app/CMainFrame.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/CaptureSound.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/VirtualDrives.h"

namespace {

namespace fs = std::filesystem;
using soundtest::Capture;
using soundtest::Refuse;

constexpr const char* kNoAnswer = "Device not responding. Try again?";

void UnmountAll() {
  for (const aspi::VirtualDrive& drive : aspi::ReadDriveTable().drives) aspi::UnmountDrive(drive.letter);
}

bool DeviceOpened(Capture& capture) {
  for (const Capture::Event& event : capture.Log()) {
    if (event.what.starts_with("device")) return true;
  }
  return false;
}

// The window, started over the machine's drives with the capture device as output.
struct StartedFrame {
  explicit StartedFrame(const soundtest::CaptureOptions& options = {}, const char* layer = aspi::kLayerName)
      : capture(Capture::Install(options)) {
    ThePlaybackEngine().EnumerateSoundDrivers();  // the capture device's drivers
    setenv("CARVOX_SPLASH_MS", "0", 1);
    frame.SetCdLayer(layer);
    frame.Create();
  }
  bool Start() { return frame.InitDevices(); }
  ~StartedFrame() {
    ThePlaybackEngine().Shutdown();
    Capture::Uninstall();
    UnmountAll();
  }
  Capture& capture;
  testsupport::ScriptedPrompt prompt;
  CMainFrame frame;
};

TEST(StartUp, DrivesLayerAndSoundDeviceDecide) {
  const fs::path image = testsupport::FourSectorImage();
  const struct {
    const char* layer;
    bool mounted, fault;
    Refuse refuse;
    std::vector<std::string> texts;
    bool runs, reader, device;
  } cases[] = {
      {aspi::kLayerName, false, false, Refuse::Nothing, {}, true, true, true},  // no drives
      {aspi::kLayerName, true, false, Refuse::Nothing, {}, true, true, true},
      {"/nonexistent/libwnaspi32.so", true, false, Refuse::Nothing,
       {"The CD-ROM access layer is not installed.\nCarvox cannot read CD-ROMs."}, true, false, false},
      {aspi::kLayerName, true, true, Refuse::Nothing, {kNoAnswer, "Could not read CD."}, true, false, false},
      {aspi::kLayerName, true, false, Refuse::Create,
       {"ERROR: could not open DirectSound driver!\nTerminating program."}, false, true, false},
  };
  for (const auto& c : cases) {
    if (c.mounted) aspi::MountImage(image, 'D');
    if (c.fault) testsupport::SetDriveFault('D', 1, aspi::SS_ERR);
    StartedFrame started({.refuse = c.refuse}, c.layer);
    started.prompt.Script({platform::IDCANCEL});
    EXPECT_EQ(started.Start(), c.runs);
    EXPECT_EQ(started.prompt.texts(), c.texts);
    EXPECT_EQ(started.frame.volumeReader() != nullptr, c.reader);
    EXPECT_EQ(DeviceOpened(started.capture), c.device);
    const bool listed = c.reader && c.mounted;
    EXPECT_EQ(started.frame.driveCombo()->count(), listed ? 1 : 0);
    EXPECT_EQ(started.frame.driveCombo()->currentText().left(10), listed ? "D:  CARVOX" : "");
  }
}

// A drive whose image is missing holds no disc: the reader asks, then Refresh says so;
// once the image is there, Refresh lists it.
TEST(Drives, RefreshWithoutADiscAsksThenSaysSo) {
  const fs::path image = testsupport::FreshFolder("no-disc") / "later.img";
  const std::string drive = std::string(aspi::kDriveTableKey) + "\\D";
  testsupport::SetMachineString(drive, "Image", image.string());
  testsupport::SetMachineDword(drive, "Target", 0);
  StartedFrame started;
  ASSERT_TRUE(started.Start());
  started.prompt.Script({platform::IDRETRY, platform::IDCANCEL});
  started.frame.OnRefresh();
  EXPECT_EQ(started.prompt.texts(), (std::vector<std::string>{kNoAnswer, kNoAnswer, "Could not read CD."}));
  akaiimage::WriteImage(apptest::Drums(), image);
  started.frame.OnRefresh();
  EXPECT_EQ(started.frame.GetContentsView()->topLevelItemCount(), 3);
}

// SNARE has no loop: played looped, the whole sample repeats; played once, silence
// follows. Listing another volume stops the sound.
TEST(Drives, DoubleClickPlaysOnceOrLoopedAndAnotherVolumeStops) {
  const fs::path image = testsupport::FreshFolder("drums") / "drums.img";
  akaiimage::WriteImage(apptest::Drums(), image);
  StartedFrame started;
  ASSERT_TRUE(started.Start());
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
