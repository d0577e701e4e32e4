#pragma once
// Plays one sample at a time, once or looped between its loop points. A streaming
// thread keeps a looping sound buffer filled a quarter at a time from the sample's
// 16-bit words, splicing the loop in as often as needed, and ends when a one-shot
// sample has been heard to its end or when playback is stopped. The engine also holds
// the list of sound drivers the user picks the output from.
//
// All calls come from one thread (the user interface's). The words handed to a play
// call must stay valid until StopPlayback (or the next play call) has returned.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "audio/Pcm.h"
#include "audio/WavFile.h"
#include "common/ChainedList.h"
#include "common/CodedError.h"
#include "platform/dsound/DSound.h"

// Raised by the engine; `code` names the step that failed:
// 4 opening the device, its primary buffer or the primary buffer's format;
// 6 creating the streaming buffer or its notification interface;
// 9 setting the notification positions or locking the buffer (also after a restore);
// 10 unlocking the buffer; 11 setting the play position to 0 or starting to play.
// what() names the step ("the sound buffer could not be made").
struct DSoundException : CodedError {
  explicit DSoundException(int32_t code) noexcept;
};

// The failed step of a DSoundException's code in words with the code ("the sound
// buffer could not be made (error 6)"), for messages.
std::string SoundFailureText(int32_t code);

struct SoundDriver {
  std::string description;
  platform::GUID guid{};
  bool hasGuid = false;  // the primary driver comes without one
};
using SoundDriverList = ChainedList<SoundDriver>;

class PlaybackEngine {
 public:
  static constexpr uint32_t kStartingBufferBytes = 131072;
  static constexpr uint32_t kDeviceBufferBytes = 0x40000;
  static constexpr uint32_t kNotificationCount = 32;

  PlaybackEngine();
  // Shutdown, if nobody called it.
  ~PlaybackEngine();
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // Rebuilds the driver list in the order the drivers are reported.
  void EnumerateSoundDrivers();
  const SoundDriverList& drivers() const { return drivers_; }

  // Opens the driver whose description is exactly `description`; without one, the
  // first driver with a GUID, else the first driver. Stops playback and releases a
  // device opened before. Throws DSoundException{4}.
  void OpenDevice(const std::string& description, platform::HWND window);

  // Stop what plays, then play `count` samples of `data` once / looped. Counts and
  // loop values are in samples (frames of `format`). A loop that is empty or reaches
  // past the data loops the whole sample.
  void PlayOnce(const int16_t* data, uint32_t count, const PcmFormat& format);
  void PlayLooped(const int16_t* data, uint32_t count, const PcmFormat& format, uint32_t loopStart,
                  uint32_t loopLength);
  // Plays a 16-bit PCM WAV file once through the file source; a file the source
  // refuses ends playback at once, silently. (No command plays files; tests do.)
  void PlayWavFile(const std::filesystem::path& path);

  // Ends playback and waits for the streaming thread; returns at once when idle.
  void StopPlayback();
  // Waits up to `milliseconds` (platform::INFINITE: no limit) for playback to end by
  // itself; true when the engine is idle.
  bool WaitForPlaybackEnd(platform::DWORD milliseconds);
  // The code of the DSoundException that ended the last playback inside the streaming
  // thread, 0 when none did.
  int32_t lastThreadFailure() const { return threadFailure_; }

  // Stops playback, waits for the thread and releases the device: the explicit end of
  // the process-wide engine, before anything it uses goes away.
  void Shutdown();

  uint32_t bufferBytes() const { return bufferBytes_; }
  // How long the streaming thread waits for a notification before it looks at the
  // play cursor anyway.
  static platform::DWORD StreamTimeoutMs(uint32_t bufferBytes, const PcmFormat& format);

 private:
  class Streamer;
  static platform::DWORD StreamingThread(void* engine);
  static uint32_t Words(uint32_t samples, const PcmFormat& format);
  // Stops the thread, waits for it and closes its handles.
  void EndThread();
  // Starts a streaming thread over what source_ holds.
  void Begin(const PcmFormat& format, uint32_t loopStart, uint32_t loopLength);
  void ReleaseDevice();

  SoundDriverList drivers_;
  platform::IDirectSound* device_ = nullptr;
  platform::IDirectSoundBuffer* primary_ = nullptr;
  uint32_t bufferBytes_ = kStartingBufferBytes;
  platform::HANDLE thread_;       // the last streaming thread, or a signalled event; null after Shutdown
  platform::HANDLE stopRequest_;  // set to end the current thread (manual reset)
  std::atomic<bool> stopRequested_{false};
  WavFileSource source_;
  PcmFormat format_{};
  uint32_t loopStart_ = 0;   // words (samples x channels)
  uint32_t loopLength_ = 0;  // words; 0 plays once
  std::atomic<int32_t> threadFailure_{0};
};
