#pragma once
// What a sound backend provides, and the buffers and device every backend shares.
//
// A backend lists its drivers and opens devices. Its device derives from
// SoftwareDevice, whose buffers keep their memory, cursors and notifications here; the
// backend only moves the play cursors of the playing buffers (Advance), at its own
// pace: a sound card's, the clock's, a file writer's, or a test's.

#include <atomic>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/dsound/DSound.h"

namespace platform {

struct SoundDriverEntry {
  std::string description;
  std::string module;
  GUID guid;
};

struct SoundBackend {
  const char* name;
  // Appends the backend's drivers, each with its own GUID.
  void (*enumerate)(std::vector<SoundDriverEntry>& drivers);
  // Opens the device of `guid`, or the backend's default device for nullptr.
  // DSERR_NODRIVER when it has no such device.
  HRESULT (*create)(const GUID* guid, IDirectSound** device);
};

// The backends compiled in, in listing order (made by the build).
std::span<const SoundBackend> CompiledSoundBackends();
// Replaces the chosen outputs with `backends` (tests); an empty list goes back to the
// choice of SelectSoundOutput / CARVOX_SOUND.
void InstallSoundBackends(std::vector<SoundBackend> backends);
// Where the file backend writes and how many frames it may write (0: no limit).
struct SoundFileTarget {
  std::string path;
  uint64_t frameLimit = 0;
};
SoundFileTarget ChosenSoundFile();
// Counts the WAV file devices open (+1 when one opens, -1 when it closes), for
// SoundFileOpen.
void CountSoundFileDevices(int change);
// Records why the output failed while playing, for TakeSoundOutputFailure.
void ReportSoundOutputFailure(const std::string& reason);

// A GUID from a name that stays the same across runs (FNV-1a over the name).
GUID GuidFromName(std::string_view name);

class SoftwareDevice;

// A primary or secondary buffer in memory. Secondary buffers are created silent and
// stopped at position 0.
class SoftwareBuffer : public IDirectSoundBuffer, public IDirectSoundNotify {
 public:
  SoftwareBuffer(SoftwareDevice& device, const DSBUFFERDESC& description);

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT QueryInterface(const GUID& iid, void** object) override;
  HRESULT SetFormat(const WAVEFORMATEX* format) override;
  HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
  HRESULT SetCurrentPosition(DWORD position) override;
  HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
               DWORD flags) override;
  HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) override;
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT Stop() override;
  HRESULT Restore() override;
  HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;

  // For backends. Moves the play cursor of a playing buffer by up to `bytes` (whole
  // frames), handing the bytes passed over to `played` (in up to two spans) and firing
  // the notifications passed. A buffer played without looping stops at its end.
  // Returns the bytes moved (0 when stopped).
  DWORD Advance(DWORD bytes, const std::function<void(const uint8_t*, DWORD)>& played);
  // Stops the buffer from the device's side (the stop notifications fire).
  void StopFromDevice() { Stop(); }
  // Bytes from the play cursor to just past the next notification position (the
  // whole buffer without notifications).
  DWORD BytesToNextNotification();
  // Marks the buffer lost: Lock and Play fail with DSERR_BUFFERLOST until Restore.
  void MarkLost();
  const WAVEFORMATEX& format() const { return format_; }
  DWORD size() const { return static_cast<DWORD>(memory_.size()); }
  bool primary() const { return primary_; }
  // Tells buffers apart for the lifetime of the process (addresses are reused).
  uint64_t id() const { return id_; }

 protected:
  ~SoftwareBuffer() override;

 private:
  friend class SoftwareDevice;
  // AddRef unless the last reference is already gone.
  bool TryAddRef();
  void Notify(DWORD from, DWORD to);

  SoftwareDevice& device_;
  std::atomic<ULONG> references_{1};
  const uint64_t id_;
  const bool primary_;
  const bool notifications_;
  WAVEFORMATEX format_;
  std::vector<uint8_t> memory_;
  std::mutex mutex_;  // cursor, play state, notifications
  DWORD playCursor_ = 0;
  bool playing_ = false;
  bool looping_ = false;
  bool lost_ = false;
  std::vector<DSBPOSITIONNOTIFY> positions_;
};

// The device every backend's device derives from: buffers, the cooperative level and
// the primary format, and the set of buffers playing. Buffers do not keep the device
// alive: callers release them before the device, as with the real thing.
class SoftwareDevice : public IDirectSound {
 public:
  SoftwareDevice();

  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, void* outer) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

  // The mix format: the primary buffer's (2 channels, 44100 Hz, 16 bits to start).
  WAVEFORMATEX mixFormat() const;

  // Backend hooks. Started: a buffer began to play (it is in the playing set);
  // PositionRead: a caller is about to read a buffer's cursor (backends that move
  // cursors on their callers' pace do it here). Neither holds a lock.
  virtual HRESULT BufferStarting(SoftwareBuffer&) { return DS_OK; }
  virtual void PositionRead(SoftwareBuffer&) {}
  // A primary format a backend cannot mix to is refused here.
  virtual HRESULT AcceptMixFormat(const WAVEFORMATEX&) { return DS_OK; }

  // Runs `visit` on each buffer playing now, holding a reference to it meanwhile and
  // no lock, so `visit` may Advance it and the buffer may stop.
  void ForEachPlaying(const std::function<void(SoftwareBuffer&)>& visit);

 protected:
  ~SoftwareDevice() override;
  // Makes the buffers CreateSoundBuffer hands out, once the description is checked.
  virtual SoftwareBuffer* NewBuffer(const DSBUFFERDESC& description) { return new SoftwareBuffer(*this, description); }
  // Stops every playing buffer (the stop notifications fire). A backend's destructor
  // ends whatever moves its cursors first.
  void StopAll();

 private:
  friend class SoftwareBuffer;
  void Started(SoftwareBuffer& buffer);
  void Stopped(SoftwareBuffer& buffer);
  HRESULT SetMixFormat(const WAVEFORMATEX& format);

  std::atomic<ULONG> references_{1};
  mutable std::mutex mutex_;  // playing set, mix format
  std::vector<SoftwareBuffer*> playing_;
  WAVEFORMATEX mixFormat_;
};

}  // namespace platform
