// Playback figures (printed, not asserted):
// - CPU time of playback per second of audio played: a 44.1 kHz mono sample looped on
//   the silent device for SECONDS (default 10, or the only argument). The process's
//   CPU time is measured, so it includes the silent device's own clock. Target: 1 %.
// - Time from PlayOnce to the first frame at the backend (the buffer starting to
//   play), over 20 starts. Target: below 50 ms.
// The streaming thread's wait time-out is printed beside 2 x trunc(B / 8 / rate) ms,
// a time-out in whole seconds' steps that is 0 ms at 44.1 kHz mono (it would spin a
// core).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/PlaybackEngine.h"
#include "platform/dsound/SoundBackend.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::vector<int16_t> Tone(size_t words) {
  std::vector<int16_t> tone(words);
  for (size_t i = 0; i < words; ++i) tone[i] = static_cast<int16_t>(12000 * std::sin(i * 0.0627));
  return tone;
}

void MeasureCpu(double seconds) {
  platform::SelectSoundOutput("silent");
  PlaybackEngine engine;
  engine.OpenDevice(platform::kSilentOutputDescription, nullptr);
  const std::vector<int16_t> tone = Tone(44100);
  const double cpuBefore = CpuSeconds();
  engine.PlayLooped(tone.data(), static_cast<uint32_t>(tone.size()), PcmFormatForRate(44100), 0, 0);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  engine.StopPlayback();
  const double cpu = CpuSeconds() - cpuBefore;
  engine.Shutdown();
  platform::ForgetSoundOutputChoice();
  const uint32_t bytes = PlaybackEngine::kDeviceBufferBytes;
  std::printf("CPU per audio time, 44.1 kHz mono on the silent device: %.3f %% "
              "(%.3f s CPU over %.1f s; target <= 1 %%)\n",
              100.0 * cpu / seconds, cpu, seconds);
  std::printf("wait time-out: %u ms (2 x trunc(B / 8 / rate) would be %d ms)\n",
              PlaybackEngine::StreamTimeoutMs(bytes, PcmFormatForRate(44100)), 2 * static_cast<int>(bytes / 8 / 44100));
}

// A device that notes when a buffer starts to play: the first frame reaches the
// backend then.
std::mutex startedMutex;
Clock::time_point started;

class StartClockDevice final : public platform::SoftwareDevice {
 public:
  platform::HRESULT BufferStarting(platform::SoftwareBuffer&) override {
    std::lock_guard lock(startedMutex);
    started = Clock::now();
    return platform::DS_OK;
  }
};

void MeasureStartLatency() {
  platform::InstallSoundBackends({platform::SoundBackend{
      "start clock", [](std::vector<platform::SoundDriverEntry>&) {},
      [](const platform::GUID*, platform::IDirectSound** device) -> platform::HRESULT {
        *device = new StartClockDevice;
        return platform::DS_OK;
      }}});
  PlaybackEngine engine;
  engine.OpenDevice("", nullptr);
  const std::vector<int16_t> tone = Tone(44100);
  std::vector<double> latencies;
  for (int run = 0; run < 20; ++run) {
    {
      std::lock_guard lock(startedMutex);
      started = {};
    }
    const Clock::time_point asked = Clock::now();
    engine.PlayOnce(tone.data(), static_cast<uint32_t>(tone.size()), PcmFormatForRate(44100));
    for (bool done = false; !done; std::this_thread::sleep_for(std::chrono::microseconds(100))) {
      std::lock_guard lock(startedMutex);
      if (started != Clock::time_point{}) {
        latencies.push_back(std::chrono::duration<double, std::milli>(started - asked).count());
        done = true;
      }
    }
  }
  engine.Shutdown();
  platform::InstallSoundBackends({});
  std::sort(latencies.begin(), latencies.end());
  std::printf("PlayOnce to the first frame at the backend: median %.2f ms, worst %.2f ms (target < 50 ms)\n",
              latencies[latencies.size() / 2], latencies.back());
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (!(seconds > 0)) {
    std::fprintf(stderr, "usage: carvox_playback_bench [SECONDS]\n");
    return 1;
  }
  MeasureCpu(seconds);
  MeasureStartLatency();
  return 0;
}
