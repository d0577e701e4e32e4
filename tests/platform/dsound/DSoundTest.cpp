// The sound output layer on its own: driver lists, buffers and notifications, the
// silent device's real-time cursor, the WAV file's pace (read back by libsndfile), and
// PortAudio on ALSA's null device (a sound card that every machine has and nobody
// hears).
#include "platform/dsound/DSound.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace platform;

std::vector<std::pair<std::string, std::optional<GUID>>> Drivers() {
  std::vector<std::pair<std::string, std::optional<GUID>>> drivers;
  DirectSoundEnumerateA(
      [](GUID* guid, const char* description, const char*, void* context) -> BOOL {
        auto& list = *static_cast<std::vector<std::pair<std::string, std::optional<GUID>>>*>(context);
        list.emplace_back(description, guid != nullptr ? std::optional<GUID>(*guid) : std::nullopt);
        return TRUE;
      },
      &drivers);
  return drivers;
}

// A secondary buffer of `bytes` of 22050 Hz mono with one notification at its stop.
struct PlayedBuffer {
  IDirectSoundBuffer* buffer = nullptr;
  HANDLE stopped = CreateEventA(nullptr, FALSE, FALSE, nullptr);

  PlayedBuffer(IDirectSound& device, DWORD bytes) {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    const DSBUFFERDESC description{kDSBufferDescSize, DSBCAPS_CTRLPOSITIONNOTIFY, bytes, 0, &format};
    EXPECT_EQ(device.CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
    void* notify = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, &notify), DS_OK);
    const DSBPOSITIONNOTIFY atStop{DSBPN_OFFSETSTOP, stopped};
    EXPECT_EQ(static_cast<IDirectSoundNotify*>(notify)->SetNotificationPositions(1, &atStop), DS_OK);
    static_cast<IDirectSoundNotify*>(notify)->Release();
  }
  ~PlayedBuffer() {
    buffer->Release();
    CloseHandle(stopped);
  }
};

TEST(DSound, BuffersLockAcrossTheirEndAndRefuseBadCalls) {
  IDirectSound* device = nullptr;
  ASSERT_TRUE(SelectSoundOutput("silent"));
  ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
  {
    PlayedBuffer played(*device, 1000);
    void* region1 = nullptr;
    void* region2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    ASSERT_EQ(played.buffer->Lock(996, 8, &region1, &bytes1, &region2, &bytes2, 0), DS_OK);
    EXPECT_EQ(std::make_pair(bytes1, bytes2), std::make_pair(4u, 4u));
    EXPECT_EQ(played.buffer->Unlock(region1, bytes1, region2, bytes2), DS_OK);
    EXPECT_EQ(played.buffer->Lock(1000, 8, &region1, &bytes1, &region2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(played.buffer->SetFormat(nullptr), DSERR_INVALIDCALL);  // secondary buffers have theirs

    // Played once, the silent device's clock carries the cursor to the end.
    ASSERT_EQ(played.buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(WaitForSingleObject(played.stopped, 60000), WAIT_OBJECT_0);
  }
  const struct {
    WAVEFORMATEX format;
    DWORD bytes;
    HRESULT result;
  } refused[] = {
      {{WAVE_FORMAT_PCM, 1, 0, 0, 2, 16, 0}, 1000, DSERR_BADFORMAT},              // a rate of 0
      {{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0}, 1001, DSERR_INVALIDPARAM},   // half a frame at the end
      {{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}, 1002, DSERR_INVALIDPARAM},  // the same in stereo
  };
  for (const auto& r : refused) {
    const DSBUFFERDESC description{kDSBufferDescSize, 0, r.bytes, 0, &r.format};
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), r.result) << r.bytes;
  }
  device->Release();
  ForgetSoundOutputChoice();
}

// A file without a frame limit (as the window writes) grows no faster than a sound
// card would play, however often a caller reads the position.
TEST(DSound, FileWithoutLimitIsWrittenInRealTime) {
  const std::string path = std::string(getenv("HOME")) + "/paced.wav";
  ASSERT_TRUE(SelectSoundOutput("file:" + path));
  IDirectSound* device = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
  EXPECT_TRUE(SoundFileOpen());
  const auto started = std::chrono::steady_clock::now();
  {
    PlayedBuffer played(*device, 22050);
    ASSERT_EQ(played.buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD cursor = 0;
    for (int reads = 0; reads < 1000 || cursor == 0; ++reads) played.buffer->GetCurrentPosition(&cursor, nullptr);
    played.buffer->Stop();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  device->Release();
  EXPECT_FALSE(SoundFileOpen());
  ForgetSoundOutputChoice();

  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_close(file);
  EXPECT_GT(info.frames, 0);
  EXPECT_LE(info.frames, seconds * 44100 + 1);
  EXPECT_FALSE(TakeSoundOutputFailure().has_value());
}

TEST(DSound, ListsEveryOutputWithStableGuids) {
  const std::vector<std::pair<std::string, std::optional<GUID>>> silentOnly = Drivers();  // CARVOX_SOUND=silent
  ASSERT_EQ(silentOnly.size(), 2u);
  EXPECT_FALSE(silentOnly[0].second.has_value());
  EXPECT_EQ(silentOnly[1].first, kSilentOutputDescription);

  // ALSA's null device stands for a sound card; ALSA lists "aaa" before "default".
  std::ofstream(std::string(getenv("HOME")) + "/.asoundrc") << "pcm.aaa { type null }\npcm.!default { type null }\n";
  ASSERT_TRUE(SelectSoundOutput(""));
  const auto drivers = Drivers();
  EXPECT_EQ(Drivers(), drivers);  // the same GUIDs each time
  ForgetSoundOutputChoice();
  ASSERT_GE(drivers.size(), 3u);
  EXPECT_EQ(drivers.back().first, kSilentOutputDescription);
  // The default output is the first device, the one callers fall back to.
  const auto card = drivers.begin() + 1;
  ASSERT_EQ(card->first, "default (ALSA)");

  // Its stream opens when a buffer plays; the buffer, at another rate, is resampled.
  ASSERT_TRUE(SelectSoundOutput(""));
  IDirectSound* device = nullptr;
  ASSERT_EQ(DirectSoundCreate(&*card->second, &device, nullptr), DS_OK);
  {
    PlayedBuffer played(*device, 22050);
    ASSERT_EQ(played.buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(WaitForSingleObject(played.stopped, 60000), WAIT_OBJECT_0);
  }
  device->Release();
  ForgetSoundOutputChoice();
  EXPECT_FALSE(TakeSoundOutputFailure().has_value());
}

}  // namespace
