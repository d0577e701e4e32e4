// The silent device: plays nothing, but its play cursors move in real time, so callers
// behave as with a sound card (headless machines, machines without one).

#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

#include "platform/dsound/SoundBackend.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// {5C1E0A7D-0B57-4C3E-9D2A-7F6A51E4B001}
constexpr GUID kSilentGuid{0x5C1E0A7D, 0x0B57, 0x4C3E, {0x9D, 0x2A, 0x7F, 0x6A, 0x51, 0xE4, 0xB0, 0x01}};
constexpr auto kTick = std::chrono::milliseconds(5);

class SilentDevice final : public SoftwareDevice {
 public:
  ~SilentDevice() override {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    wakeup_.notify_all();
    if (clock_.joinable()) clock_.join();
    StopAll();
  }

  HRESULT BufferStarting(SoftwareBuffer&) override {
    std::lock_guard lock(mutex_);
    if (!clock_.joinable()) clock_ = std::thread([this] { Run(); });
    return DS_OK;
  }

 private:
  void Run() {
    Clock::time_point last = Clock::now();
    std::unique_lock lock(mutex_);
    while (!wakeup_.wait_for(lock, kTick, [this] { return ending_; })) {
      const Clock::time_point now = Clock::now();
      const double seconds = std::chrono::duration<double>(now - last).count();
      last = now;
      lock.unlock();
      MoveCursors(seconds);
      lock.lock();
    }
  }

  // Moves each playing buffer by the frames of `seconds` at its own rate; the
  // fractions left over are carried to the next tick.
  void MoveCursors(double seconds) {
    std::map<uint64_t, double> carried;
    ForEachPlaying([&](SoftwareBuffer& buffer) {
      const double frames = carry_[buffer.id()] + seconds * buffer.format().nSamplesPerSec;
      const auto whole = static_cast<DWORD>(frames);
      carried[buffer.id()] = frames - whole;
      buffer.Advance(whole * buffer.format().nBlockAlign, [](const uint8_t*, DWORD) {});
    });
    carry_ = std::move(carried);
  }

  std::mutex mutex_;
  std::condition_variable wakeup_;
  bool ending_ = false;
  std::thread clock_;
  std::map<uint64_t, double> carry_;  // by buffer id; only the clock thread uses it
};

void Enumerate(std::vector<SoundDriverEntry>& drivers) {
  drivers.push_back({kSilentOutputDescription, "silent", kSilentGuid});
}

HRESULT Create(const GUID* guid, IDirectSound** device) {
  if (guid != nullptr && *guid != kSilentGuid) return DSERR_NODRIVER;
  *device = new SilentDevice;
  return DS_OK;
}

}  // namespace

extern const SoundBackend kSilentBackend{"silent", Enumerate, Create};

}  // namespace platform
