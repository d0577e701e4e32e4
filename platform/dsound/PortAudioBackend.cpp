// Sound cards through PortAudio. Every output device is a driver whose GUID is made
// from its host API and name (the same across runs); the primary driver and the first
// device listed are the default output. A device's stream opens only when something
// plays, so opening the device never fails because another program holds the card.
// Probing prints nothing (the host APIs' diagnostics are kept from stderr) and never
// starts a JACK server.

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/dsound/internal/Mixer.h"

namespace platform {
namespace {

// Keeps what the host APIs write to stderr (ALSA's probing, JACK's connection attempts)
// from the user while it lives.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

// PortAudio initialised for as long as one lives (PortAudio counts them).
class Session {
 public:
  Session() {
    setenv("JACK_NO_START_SERVER", "1", 0);  // a JACK server that is not running stays so
    QuietStderr quiet;
    ok_ = Pa_Initialize() == paNoError;
  }
  ~Session() {
    QuietStderr quiet;
    if (ok_) Pa_Terminate();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

struct OutputDevice {
  PaDeviceIndex index;
  std::string description;
  GUID guid;
};

std::vector<OutputDevice> OutputDevices() {
  std::vector<OutputDevice> devices;
  for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr || info->maxOutputChannels < 2) continue;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    const std::string apiName = api != nullptr ? api->name : "?";
    devices.push_back({i, std::string(info->name) + " (" + apiName + ")", GuidFromName(apiName + "/" + info->name)});
  }
  // The default output comes first: callers that fall back to the first device (the
  // settings, OpenDevice) then take it, not whichever card the host lists first.
  const PaDeviceIndex fallback = Pa_GetDefaultOutputDevice();
  std::stable_partition(devices.begin(), devices.end(),
                        [fallback](const OutputDevice& device) { return device.index == fallback; });
  return devices;
}

class PortAudioDevice final : public SoftwareDevice {
 public:
  PortAudioDevice(std::unique_ptr<Session> session, OutputDevice device)
      : session_(std::move(session)), device_(std::move(device)) {}

  ~PortAudioDevice() override {
    if (stream_ != nullptr) {
      Pa_StopStream(stream_);
      Pa_CloseStream(stream_);
    }
    StopAll();
  }

  HRESULT BufferStarting(SoftwareBuffer&) override {
    std::lock_guard lock(mutex_);
    if (stream_ != nullptr) return DS_OK;
    const PaError opened = OpenStream();
    if (opened == paNoError) return DS_OK;
    stream_ = nullptr;
    ReportSoundOutputFailure("cannot play on " + device_.description + ": " + Pa_GetErrorText(opened));
    return DSERR_GENERIC;
  }

 private:
  // The mix rate where the device takes it, else the device's own rate (the buffers
  // are then resampled to it).
  PaError OpenStream() {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device_.index);
    if (info == nullptr) return paInvalidDevice;
    PaStreamParameters output{};
    output.device = device_.index;
    output.channelCount = 2;
    output.sampleFormat = paInt16;
    output.suggestedLatency = info->defaultLowOutputLatency;
    QuietStderr quiet;
    streamRate_ = mixFormat().nSamplesPerSec;
    if (Pa_IsFormatSupported(nullptr, &output, streamRate_) != paFormatIsSupported) {
      streamRate_ = static_cast<DWORD>(info->defaultSampleRate);
    }
    PaError result = Pa_OpenStream(&stream_, nullptr, &output, streamRate_, paFramesPerBufferUnspecified,
                                   paNoFlag, &PortAudioDevice::Render, this);
    if (result != paNoError) return result;
    result = Pa_StartStream(stream_);
    if (result != paNoError) Pa_CloseStream(stream_);
    return result;
  }

  static int Render(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags, void* self) {
    auto& device = *static_cast<PortAudioDevice*>(self);
    device.mixer_.Mix(device, device.streamRate_, static_cast<int16_t*>(output), static_cast<DWORD>(frames));
    return paContinue;
  }

  std::unique_ptr<Session> session_;
  const OutputDevice device_;
  std::mutex mutex_;  // opening the stream
  PaStream* stream_ = nullptr;
  DWORD streamRate_ = 0;
  Mixer mixer_;  // only the stream's callback uses it
};

void Enumerate(std::vector<SoundDriverEntry>& drivers) {
  const Session session;
  if (!session.ok()) return;
  for (const OutputDevice& device : OutputDevices()) drivers.push_back({device.description, "portaudio", device.guid});
}

HRESULT Create(const GUID* guid, IDirectSound** device) {
  auto session = std::make_unique<Session>();
  if (!session->ok()) return DSERR_NODRIVER;
  const std::vector<OutputDevice> devices = OutputDevices();
  const PaDeviceIndex wanted = guid == nullptr ? Pa_GetDefaultOutputDevice() : paNoDevice;
  for (const OutputDevice& candidate : devices) {
    if (guid != nullptr ? candidate.guid == *guid : candidate.index == wanted) {
      *device = new PortAudioDevice(std::move(session), candidate);
      return DS_OK;
    }
  }
  return DSERR_NODRIVER;
}

}  // namespace

extern const SoundBackend kPortAudioBackend{"portaudio", Enumerate, Create};

}  // namespace platform
