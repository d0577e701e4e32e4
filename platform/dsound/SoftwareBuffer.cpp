#include <algorithm>
#include <cstring>

#include "platform/dsound/SoundBackend.h"

namespace platform {
namespace {

WAVEFORMATEX StartingMixFormat() {
  WAVEFORMATEX format;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = 44100 * 4;
  return format;
}

// Buffers hold 16-bit PCM, 1 or 2 channels, at any rate but 0.
bool Playable(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
         format.wBitsPerSample == 16 && format.nSamplesPerSec > 0 && format.nBlockAlign == 2 * format.nChannels;
}

// Whether the cursor, moving forward from `from` to `to` (wrapping when to < from),
// passes `offset`: positions after `from` up to and including `to`.
bool Passes(DWORD from, DWORD to, DWORD offset) {
  if (from <= to) return offset > from && offset <= to;
  return offset > from || offset <= to;
}

uint64_t NextBufferId() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

}  // namespace

SoftwareBuffer::SoftwareBuffer(SoftwareDevice& device, const DSBUFFERDESC& description)
    : device_(device),
      id_(NextBufferId()),
      primary_((description.dwFlags & DSBCAPS_PRIMARYBUFFER) != 0),
      notifications_((description.dwFlags & DSBCAPS_CTRLPOSITIONNOTIFY) != 0),
      format_(primary_ ? device.mixFormat() : *description.lpwfxFormat),
      memory_(primary_ ? 0 : description.dwBufferBytes, 0) {}

SoftwareBuffer::~SoftwareBuffer() = default;

ULONG SoftwareBuffer::AddRef() { return ++references_; }

bool SoftwareBuffer::TryAddRef() {
  ULONG count = references_.load();
  while (count > 0) {
    if (references_.compare_exchange_weak(count, count + 1)) return true;
  }
  return false;
}

ULONG SoftwareBuffer::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    Stop();
    delete this;
  }
  return left;
}

HRESULT SoftwareBuffer::QueryInterface(const GUID& iid, void** object) {
  if (object == nullptr) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (iid != IID_IDirectSoundNotify || !notifications_) return DSERR_NOINTERFACE;
  AddRef();
  *object = static_cast<IDirectSoundNotify*>(this);
  return DS_OK;
}

HRESULT SoftwareBuffer::SetFormat(const WAVEFORMATEX* format) {
  if (!primary_) return DSERR_INVALIDCALL;
  if (format == nullptr) return DSERR_INVALIDPARAM;
  return device_.SetMixFormat(*format);
}

HRESULT SoftwareBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
  if (primary_) return DSERR_INVALIDCALL;
  device_.PositionRead(*this);
  std::lock_guard lock(mutex_);
  if (playCursor != nullptr) *playCursor = playCursor_;
  // Data may be written from one frame past the play cursor.
  if (writeCursor != nullptr) *writeCursor = playing_ ? (playCursor_ + format_.nBlockAlign) % size() : playCursor_;
  return DS_OK;
}

HRESULT SoftwareBuffer::SetCurrentPosition(DWORD position) {
  if (primary_) return DSERR_INVALIDCALL;
  if (position >= size()) return DSERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  playCursor_ = position - position % format_.nBlockAlign;
  return DS_OK;
}

HRESULT SoftwareBuffer::Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2,
                             DWORD* bytes2, DWORD /*flags*/) {
  if (primary_) return DSERR_INVALIDCALL;
  if (region1 == nullptr || bytes1 == nullptr || offset >= size() || bytes == 0 || bytes > size()) {
    return DSERR_INVALIDPARAM;
  }
  {
    std::lock_guard lock(mutex_);
    if (lost_) return DSERR_BUFFERLOST;
  }
  const DWORD first = std::min(bytes, size() - offset);
  if (first < bytes && (region2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
  *region1 = memory_.data() + offset;
  *bytes1 = first;
  if (region2 != nullptr) *region2 = first < bytes ? memory_.data() : nullptr;
  if (bytes2 != nullptr) *bytes2 = bytes - first;
  return DS_OK;
}

HRESULT SoftwareBuffer::Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) {
  const auto inside = [this](void* region, DWORD bytes) {
    const auto* start = static_cast<uint8_t*>(region);
    return region == nullptr || (start >= memory_.data() && start + bytes <= memory_.data() + memory_.size());
  };
  if (primary_) return DSERR_INVALIDCALL;
  return region1 != nullptr && inside(region1, bytes1) && inside(region2, bytes2) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT SoftwareBuffer::Play(DWORD /*reserved*/, DWORD /*priority*/, DWORD flags) {
  if (primary_) return DS_OK;  // the mix always runs while something plays
  {
    std::lock_guard lock(mutex_);
    if (lost_) return DSERR_BUFFERLOST;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    if (playing_) return DS_OK;
    playing_ = true;
  }
  device_.Started(*this);
  const HRESULT started = device_.BufferStarting(*this);
  if (FAILED(started)) Stop();
  return started;
}

HRESULT SoftwareBuffer::Stop() {
  if (primary_) return DS_OK;
  {
    std::lock_guard lock(mutex_);
    if (!playing_) return DS_OK;
    playing_ = false;
  }
  device_.Stopped(*this);
  std::lock_guard lock(mutex_);
  for (const DSBPOSITIONNOTIFY& position : positions_) {
    if (position.dwOffset == DSBPN_OFFSETSTOP) SetEvent(position.hEventNotify);
  }
  return DS_OK;
}

HRESULT SoftwareBuffer::Restore() {
  std::lock_guard lock(mutex_);
  lost_ = false;
  return DS_OK;
}

void SoftwareBuffer::MarkLost() {
  std::lock_guard lock(mutex_);
  lost_ = true;
}

HRESULT SoftwareBuffer::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) {
  if (count > 0 && positions == nullptr) return DSERR_INVALIDPARAM;
  const std::span<const DSBPOSITIONNOTIFY> wanted(positions, count);
  const bool valid = std::all_of(wanted.begin(), wanted.end(), [this](const DSBPOSITIONNOTIFY& p) {
    return p.hEventNotify != nullptr && (p.dwOffset < size() || p.dwOffset == DSBPN_OFFSETSTOP);
  });
  if (!valid) return DSERR_INVALIDPARAM;
  std::lock_guard lock(mutex_);
  if (playing_) return DSERR_INVALIDCALL;
  positions_.assign(wanted.begin(), wanted.end());
  return DS_OK;
}

DWORD SoftwareBuffer::Advance(DWORD bytes, const std::function<void(const uint8_t*, DWORD)>& played) {
  bool ended = false;
  DWORD moved = 0;
  {
    std::lock_guard lock(mutex_);
    if (!playing_) return 0;
    bytes -= bytes % format_.nBlockAlign;
    const DWORD untilEnd = size() - playCursor_;
    moved = looping_ ? bytes % size() : std::min(bytes, untilEnd);
    if (moved == 0) return 0;
    const DWORD first = std::min(moved, untilEnd);
    played(memory_.data() + playCursor_, first);
    if (moved > first) played(memory_.data(), moved - first);
    const DWORD from = playCursor_;
    playCursor_ = (playCursor_ + moved) % size();
    Notify(from, playCursor_);
    ended = !looping_ && moved == untilEnd;
  }
  if (ended) Stop();
  return moved;
}

DWORD SoftwareBuffer::BytesToNextNotification() {
  std::lock_guard lock(mutex_);
  DWORD nearest = size();
  for (const DSBPOSITIONNOTIFY& position : positions_) {
    if (position.dwOffset == DSBPN_OFFSETSTOP) continue;
    const DWORD distance = (position.dwOffset + size() - playCursor_) % size();
    if (distance > 0) nearest = std::min(nearest, distance);
  }
  return nearest;
}

void SoftwareBuffer::Notify(DWORD from, DWORD to) {
  for (const DSBPOSITIONNOTIFY& position : positions_) {
    if (position.dwOffset != DSBPN_OFFSETSTOP && Passes(from, to, position.dwOffset)) {
      SetEvent(position.hEventNotify);
    }
  }
}

SoftwareDevice::SoftwareDevice() : mixFormat_(StartingMixFormat()) {}

SoftwareDevice::~SoftwareDevice() { StopAll(); }

ULONG SoftwareDevice::AddRef() { return ++references_; }

ULONG SoftwareDevice::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT SoftwareDevice::CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                          void* outer) {
  if (buffer == nullptr) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  if (description == nullptr || description->dwSize != kDSBufferDescSize || outer != nullptr) {
    return DSERR_INVALIDPARAM;
  }
  if ((description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0) {
    if (description->dwBufferBytes != 0 || description->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
  } else {
    if (description->lpwfxFormat == nullptr || description->dwBufferBytes < DSBSIZE_MIN ||
        description->dwBufferBytes > DSBSIZE_MAX) {
      return DSERR_INVALIDPARAM;
    }
    if (!Playable(*description->lpwfxFormat)) return DSERR_BADFORMAT;
    // Cursors move by whole frames: a part frame at the end would be read past.
    if (description->dwBufferBytes % description->lpwfxFormat->nBlockAlign != 0) return DSERR_INVALIDPARAM;
  }
  *buffer = NewBuffer(*description);
  return DS_OK;
}

HRESULT SoftwareDevice::SetCooperativeLevel(HWND /*window*/, DWORD level) {
  return level == DSSCL_NORMAL || level == DSSCL_PRIORITY ? DS_OK : DSERR_INVALIDPARAM;
}

WAVEFORMATEX SoftwareDevice::mixFormat() const {
  std::lock_guard lock(mutex_);
  return mixFormat_;
}

HRESULT SoftwareDevice::SetMixFormat(const WAVEFORMATEX& format) {
  if (!Playable(format) || format.nAvgBytesPerSec != format.nSamplesPerSec * format.nBlockAlign) {
    return DSERR_BADFORMAT;
  }
  const HRESULT accepted = AcceptMixFormat(format);
  if (FAILED(accepted)) return accepted;
  std::lock_guard lock(mutex_);
  mixFormat_ = format;
  return DS_OK;
}

void SoftwareDevice::Started(SoftwareBuffer& buffer) {
  std::lock_guard lock(mutex_);
  playing_.push_back(&buffer);
}

void SoftwareDevice::Stopped(SoftwareBuffer& buffer) {
  std::lock_guard lock(mutex_);
  std::erase(playing_, &buffer);
}

void SoftwareDevice::ForEachPlaying(const std::function<void(SoftwareBuffer&)>& visit) {
  std::vector<SoftwareBuffer*> buffers;
  {
    std::lock_guard lock(mutex_);
    // A buffer whose last reference is being released is left alone.
    for (SoftwareBuffer* buffer : playing_) {
      if (buffer->TryAddRef()) buffers.push_back(buffer);
    }
  }
  for (SoftwareBuffer* buffer : buffers) {
    visit(*buffer);
    buffer->Release();
  }
}

void SoftwareDevice::StopAll() {
  ForEachPlaying([](SoftwareBuffer& buffer) { buffer.StopFromDevice(); });
}

}  // namespace platform
