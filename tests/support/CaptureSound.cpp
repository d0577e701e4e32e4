#include "tests/support/CaptureSound.h"

#include <chrono>
#include <cstring>
#include <memory>

namespace soundtest {
namespace {

using namespace platform;

std::unique_ptr<Capture>& Current() {
  static std::unique_ptr<Capture> capture;
  return capture;
}

const GUID& GuidA() {
  static const GUID guid = GuidFromName("capture A");
  return guid;
}

const GUID& GuidB() {
  static const GUID guid = GuidFromName("capture B");
  return guid;
}

class CaptureBuffer final : public SoftwareBuffer {
 public:
  CaptureBuffer(SoftwareDevice& device, const DSBUFFERDESC& description, Capture& capture)
      : SoftwareBuffer(device, description), capture_(capture), refuse_(capture.options.refuse) {
    if (!primary()) capture_.Note("create " + std::to_string(id()), +1);
  }

  HRESULT QueryInterface(const GUID& iid, void** object) override {
    return refuse_ == Refuse::NotifyInterface ? DSERR_GENERIC : SoftwareBuffer::QueryInterface(iid, object);
  }
  HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override {
    return refuse_ == Refuse::NotificationPositions ? DSERR_GENERIC
                                                    : SoftwareBuffer::SetNotificationPositions(count, positions);
  }
  HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
               DWORD flags) override {
    if (refuse_ == Refuse::Lock) return DSERR_GENERIC;
    if (refuse_ == Refuse::LostTwice || (refuse_ == Refuse::LostBuffer && !lost_)) {
      lost_ = true;
      MarkLost();
    }
    return SoftwareBuffer::Lock(offset, bytes, region1, bytes1, region2, bytes2, flags);
  }
  HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) override {
    return refuse_ == Refuse::Unlock ? DSERR_GENERIC : SoftwareBuffer::Unlock(region1, bytes1, region2, bytes2);
  }
  HRESULT SetCurrentPosition(DWORD position) override {
    return refuse_ == Refuse::SetPosition ? DSERR_GENERIC : SoftwareBuffer::SetCurrentPosition(position);
  }
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
    return refuse_ == Refuse::Play ? DSERR_GENERIC : SoftwareBuffer::Play(reserved, priority, flags);
  }

 protected:
  ~CaptureBuffer() override {
    if (!primary()) capture_.Note("release " + std::to_string(id()), -1);
  }

 private:
  Capture& capture_;
  const Refuse refuse_;
  bool lost_ = false;
};

class CaptureDevice final : public SoftwareDevice {
 public:
  explicit CaptureDevice(Capture& capture) : capture_(capture) {}
  ~CaptureDevice() override { StopAll(); }

  HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, void* outer) override {
    const bool primary = description != nullptr && (description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (!primary && capture_.options.holdBufferCreation) capture_.HoldCreation();
    const Refuse refuse = capture_.options.refuse;
    if ((primary && refuse == Refuse::PrimaryBuffer) || (!primary && refuse == Refuse::SecondaryBuffer)) {
      return DSERR_GENERIC;
    }
    return SoftwareDevice::CreateSoundBuffer(description, buffer, outer);
  }
  HRESULT AcceptMixFormat(const WAVEFORMATEX&) override {
    return capture_.options.refuse == Refuse::PrimaryFormat ? DSERR_BADFORMAT : DS_OK;
  }
  void PositionRead(SoftwareBuffer& buffer) override {
    buffer.Advance(capture_.options.stepBytes,
                   [this](const uint8_t* bytes, DWORD count) { capture_.Record(bytes, count); });
  }

 protected:
  SoftwareBuffer* NewBuffer(const DSBUFFERDESC& description) override {
    return new CaptureBuffer(*this, description, capture_);
  }

 private:
  Capture& capture_;
};

void Enumerate(std::vector<SoundDriverEntry>& drivers) {
  drivers.push_back({"Capture A", "capture", GuidA()});
  drivers.push_back({"Capture B", "capture", GuidB()});
}

HRESULT Create(const GUID* guid, IDirectSound** device) {
  Capture& capture = *Current();
  if (guid != nullptr && *guid != GuidA() && *guid != GuidB()) return DSERR_NODRIVER;
  if (capture.options.refuse == Refuse::Create) return DSERR_GENERIC;
  capture.Note(std::string("device ") + (guid == nullptr ? "default" : *guid == GuidA() ? "Capture A" : "Capture B"));
  *device = new CaptureDevice(capture);
  return DS_OK;
}

}  // namespace

Capture& Capture::Install(const CaptureOptions& options) {
  Current().reset(new Capture(options));
  InstallSoundBackends({SoundBackend{"capture", Enumerate, Create}});
  return *Current();
}

void Capture::Uninstall() {
  InstallSoundBackends({});
  Current().reset();
}

std::vector<int16_t> Capture::Words() {
  std::lock_guard lock(mutex_);
  return words_;
}

bool Capture::WaitForWords(size_t count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::minutes(1), [&] { return words_.size() >= count; });
}

std::vector<Capture::Event> Capture::Log() {
  std::lock_guard lock(mutex_);
  return log_;
}

int Capture::buffersAlive() {
  std::lock_guard lock(mutex_);
  return alive_;
}

void Capture::ReleaseBufferCreation() {
  std::lock_guard lock(mutex_);
  creationReleased_ = true;
  changed_.notify_all();
}

void Capture::Record(const uint8_t* bytes, platform::DWORD count) {
  std::lock_guard lock(mutex_);
  const size_t start = words_.size();
  words_.resize(start + count / 2);
  std::memcpy(words_.data() + start, bytes, count / 2 * 2);
  changed_.notify_all();
}

void Capture::Note(const std::string& event, int aliveChange) {
  std::lock_guard lock(mutex_);
  log_.push_back({event, words_.size()});
  alive_ += aliveChange;
}

void Capture::HoldCreation() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return creationReleased_; });
}

}  // namespace soundtest
