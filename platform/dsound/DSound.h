#pragma once
// Sound output shaped like the DirectSound calls the playback engine is written
// against: driver enumeration, a device with a cooperative level, a primary buffer
// whose format is the mix format, looping secondary buffers that callers fill through
// Lock/Unlock while a play cursor moves through them, and position notifications on
// events.
//
// Which outputs exist is chosen once per process: PortAudio devices and a silent
// device by default, only the silent device with CARVOX_SOUND=silent, a WAV file with
// CARVOX_SOUND=file:PATH (or SelectSoundOutput). Objects are reference-counted: each
// creator's reference is given back with Release.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine/WinTypes.h"
#include "platform/sync/Sync.h"

namespace platform {

using HRESULT = int32_t;
using ULONG = uint32_t;
using HWND = void*;

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT DSERR_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078);
inline constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096);

inline constexpr bool FAILED(HRESULT result) { return result < 0; }

// Cooperative levels.
inline constexpr DWORD DSSCL_NORMAL = 1;
inline constexpr DWORD DSSCL_PRIORITY = 2;

// Buffer description flags.
inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
inline constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
inline constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

inline constexpr DWORD DSBPLAY_LOOPING = 0x1;
// A notification at this offset fires when the buffer stops.
inline constexpr DWORD DSBPN_OFFSETSTOP = 0xFFFFFFFF;
// Secondary buffer sizes.
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// The 18-byte wave format record.
struct WAVEFORMATEX {
  WORD wFormatTag = WAVE_FORMAT_PCM;
  WORD nChannels = 0;
  DWORD nSamplesPerSec = 0;
  DWORD nAvgBytesPerSec = 0;
  WORD nBlockAlign = 0;
  WORD wBitsPerSample = 0;
  WORD cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct DSBUFFERDESC {
  DWORD dwSize = 0;  // kDSBufferDescSize
  DWORD dwFlags = 0;
  DWORD dwBufferBytes = 0;  // 0 for the primary buffer
  DWORD dwReserved = 0;
  const WAVEFORMATEX* lpwfxFormat = nullptr;  // nullptr for the primary buffer
};
// The description's size as callers state it (its size on the 32-bit platform).
inline constexpr DWORD kDSBufferDescSize = 20;

struct DSBPOSITIONNOTIFY {
  DWORD dwOffset = 0;  // byte offset, or DSBPN_OFFSETSTOP
  HANDLE hEventNotify = nullptr;
};

// {B0210783-89CD-11D0-AF08-00A0C925CD16}
inline constexpr GUID IID_IDirectSoundNotify{0xB0210783, 0x89CD, 0x11D0,
                                             {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

class IUnknownLike {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknownLike() = default;
};

class IDirectSoundNotify : public IUnknownLike {
 public:
  // Replaces the buffer's notifications; the buffer must be stopped. Offsets must lie
  // inside the buffer (or be DSBPN_OFFSETSTOP) and events must not be null.
  virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

class IDirectSoundBuffer : public IUnknownLike {
 public:
  // IID_IDirectSoundNotify on a buffer made with DSBCAPS_CTRLPOSITIONNOTIFY.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  // The primary buffer's format: the format every buffer is mixed to.
  virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
  virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
  virtual HRESULT SetCurrentPosition(DWORD position) = 0;
  // `bytes` from `offset`, wrapping to the start: the second region is empty unless
  // the span wraps. DSERR_BUFFERLOST while the buffer is lost (Restore first).
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** region1, DWORD* bytes1, void** region2, DWORD* bytes2,
                       DWORD flags) = 0;
  virtual HRESULT Unlock(void* region1, DWORD bytes1, void* region2, DWORD bytes2) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  // Makes a lost buffer usable again; its contents must be written anew.
  virtual HRESULT Restore() = 0;
};

class IDirectSound : public IUnknownLike {
 public:
  // A secondary buffer (made silent) or, with DSBCAPS_PRIMARYBUFFER, the primary one.
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, void* outer) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};

// The device of driver `guid`, or the default device (the primary driver) for nullptr.
HRESULT DirectSoundCreate(const GUID* guid, IDirectSound** device, void* outer);

// Called once per driver: the primary driver first, without GUID; then every output
// device with a GUID that stays the same across runs; the silent device last. Return
// TRUE to go on.
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, const char* description, const char* module, void* context);
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context);

// The description of the silent device.
inline constexpr const char* kSilentOutputDescription = "Silent output";

// Chooses the outputs for the rest of the process, as CARVOX_SOUND would: "" (every
// output: sound cards, then silent), "silent", or "file:PATH" (a WAV file of the mix).
// False, and nothing changed, for any other text.
bool SelectSoundOutput(std::string_view output);
// Goes back to what CARVOX_SOUND chooses (and drops the file's frame limit).
void ForgetSoundOutputChoice();
// The WAV file of the outputs chosen now (CARVOX_SOUND's or SelectSoundOutput's), when
// there is one, holds exactly `frames` mix frames: every playing buffer stops once
// they are written, and they are written as fast as the disk takes them. Without a
// limit (0, the default) the file is written at the pace a sound card would play, so
// play that only a user ends cannot run away.
void LimitSoundFile(uint64_t frames);
// Whether a device writing a WAV file is open now.
bool SoundFileOpen();

// Why the sound output failed while playing (a WAV file that could not be written),
// once; nullopt when it did not.
std::optional<std::string> TakeSoundOutputFailure();

}  // namespace platform
