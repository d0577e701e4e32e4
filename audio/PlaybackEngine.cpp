#include "audio/PlaybackEngine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

using namespace platform;

namespace {

constexpr DWORD kStreamingFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                  DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kStreamingFlags == 0x181E0);

constexpr int32_t kOpenFailed = 4;
constexpr int32_t kBufferFailed = 6;
constexpr int32_t kLockFailed = 9;
constexpr int32_t kUnlockFailed = 10;
constexpr int32_t kStartFailed = 11;
// Anything else that ended a streaming thread (out of memory).
constexpr int32_t kUnexpectedFailure = -1;

const char* FailedStep(int32_t code) noexcept {
  switch (code) {
    case kOpenFailed: return "the device could not be opened";
    case kBufferFailed: return "the sound buffer could not be made";
    case kLockFailed: return "the sound buffer could not be filled";
    case kUnlockFailed: return "the sound buffer could not be released";
    case kStartFailed: return "the device did not start playing";
    default: return "it stopped unexpectedly";
  }
}

void Check(HRESULT result, int32_t code) {
  if (FAILED(result)) throw DSoundException{code};
}

WAVEFORMATEX ToWaveFormat(const PcmFormat& format) {
  WAVEFORMATEX wave;
  wave.wFormatTag = format.formatTag;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.samplesPerSec;
  wave.nAvgBytesPerSec = format.avgBytesPerSec;
  wave.nBlockAlign = format.blockAlign;
  wave.wBitsPerSample = format.bitsPerSample;
  wave.cbSize = format.extraSize;
  return wave;
}

BOOL AppendDriver(GUID* guid, const char* description, const char* /*module*/, void* context) {
  auto* driver = new SoundDriver{description, guid != nullptr ? *guid : GUID{}, guid != nullptr};
  static_cast<SoundDriverList*>(context)->Append(driver);
  return TRUE;
}

// The locked regions of a buffer, written front to back.
class RegionWriter {
 public:
  RegionWriter(void* region1, DWORD bytes1, void* region2, DWORD bytes2)
      : regions_{{{static_cast<int16_t*>(region1), bytes1 / 2}, {static_cast<int16_t*>(region2), bytes2 / 2}}} {}

  uint32_t remaining() const { return regions_[0].words + regions_[1].words - written_; }

  // At most remaining() words.
  void Put(const int16_t* words, uint32_t count) {
    while (count > 0) {
      const bool first = written_ < regions_[0].words;
      const Region& region = regions_[first ? 0 : 1];
      const uint32_t offset = first ? written_ : written_ - regions_[0].words;
      const uint32_t n = std::min(count, region.words - offset);
      if (n == 0) return;
      std::copy_n(words, n, region.start + offset);
      words += n;
      count -= n;
      written_ += n;
    }
  }

  void Zero(uint32_t count) {
    static constexpr std::array<int16_t, 1024> kSilence{};
    while (count > 0) {
      const uint32_t n = std::min<uint32_t>(count, kSilence.size());
      Put(kSilence.data(), n);
      count -= n;
    }
  }

 private:
  struct Region {
    int16_t* start;
    uint32_t words;
  };
  std::array<Region, 2> regions_;
  uint32_t written_ = 0;
};

}  // namespace

// One run of the streaming thread: its buffer, events and cursors. Whatever the run
// made is released when it goes, however the run ended.
class PlaybackEngine::Streamer {
 public:
  explicit Streamer(PlaybackEngine& engine)
      : engine_(engine),
        source_(engine.source_),
        bytes_(engine.bufferBytes_),
        loopStart_(engine.loopStart_),
        loopLength_(engine.loopLength_) {}
  ~Streamer();
  Streamer(const Streamer&) = delete;
  Streamer& operator=(const Streamer&) = delete;

  void Run();

 private:
  struct Locked {
    void* region1 = nullptr;
    DWORD bytes1 = 0;
    void* region2 = nullptr;
    DWORD bytes2 = 0;
    RegionWriter Writer() const { return RegionWriter(region1, bytes1, region2, bytes2); }
  };
  static constexpr DWORD kStopNotification = kNotificationCount;
  static constexpr DWORD kStopRequest = kNotificationCount + 1;

  bool looping() const { return loopLength_ > 0; }
  uint32_t loopEnd() const { return loopStart_ + loopLength_; }
  void CreateBuffer();
  void SetNotifications();
  void FillFirstHalf();
  void Stream();
  void RefillQuarter(DWORD offset);
  Locked Lock(DWORD offset, DWORD bytes);
  void Unlock(const Locked& locked);
  void Copy(RegionWriter& writer, uint32_t index, uint32_t count);
  void SpliceLoop(RegionWriter& writer);

  PlaybackEngine& engine_;
  WavFileSource& source_;
  const uint32_t bytes_;  // B
  const uint32_t loopStart_;
  const uint32_t loopLength_;
  uint32_t totalWords_ = 0;
  uint32_t readWord_ = 0;  // R: the next word to copy
  IDirectSoundBuffer* buffer_ = nullptr;
  // Notifications 0..31, the stop notification, then the engine's stop request.
  std::array<HANDLE, kNotificationCount + 2> events_{};
};

PlaybackEngine::Streamer::~Streamer() {
  if (buffer_ != nullptr) {
    buffer_->Stop();
    buffer_->Release();
  }
  for (DWORD i = 0; i <= kStopNotification; ++i) {
    if (events_[i] != nullptr) CloseHandle(events_[i]);
  }
  source_.Close();
}

void PlaybackEngine::Streamer::Run() {
  if (!source_.PlaysFromMemory() && !source_.Open(engine_.format_)) return;
  totalWords_ = source_.TotalWords();
  // A stop that came before the buffer exists ends the run here.
  if (engine_.stopRequested_) return;
  CreateBuffer();
  SetNotifications();
  FillFirstHalf();
  Stream();
}

void PlaybackEngine::Streamer::CreateBuffer() {
  if (engine_.device_ == nullptr) throw DSoundException{kBufferFailed};
  const WAVEFORMATEX format = ToWaveFormat(engine_.format_);
  DSBUFFERDESC description;
  description.dwSize = kDSBufferDescSize;
  description.dwFlags = kStreamingFlags;
  description.dwBufferBytes = bytes_;
  description.lpwfxFormat = &format;
  Check(engine_.device_->CreateSoundBuffer(&description, &buffer_, nullptr), kBufferFailed);
}

void PlaybackEngine::Streamer::SetNotifications() {
  void* object = nullptr;
  Check(buffer_->QueryInterface(IID_IDirectSoundNotify, &object), kBufferFailed);
  auto* notify = static_cast<IDirectSoundNotify*>(object);
  std::array<DSBPOSITIONNOTIFY, kNotificationCount + 1> positions;
  for (DWORD i = 0; i <= kStopNotification; ++i) {
    events_[i] = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (events_[i] == nullptr) {
      notify->Release();
      throw std::bad_alloc();
    }
    positions[i] = {i < kNotificationCount ? i * (bytes_ / kNotificationCount) : DSBPN_OFFSETSTOP, events_[i]};
  }
  events_[kStopRequest] = engine_.stopRequest_;
  const HRESULT set = notify->SetNotificationPositions(static_cast<DWORD>(positions.size()), positions.data());
  notify->Release();
  Check(set, kLockFailed);
}

PlaybackEngine::Streamer::Locked PlaybackEngine::Streamer::Lock(DWORD offset, DWORD bytes) {
  Locked locked;
  HRESULT result = buffer_->Lock(offset, bytes, &locked.region1, &locked.bytes1, &locked.region2, &locked.bytes2, 0);
  if (result == DSERR_BUFFERLOST) {
    buffer_->Restore();
    result = buffer_->Lock(offset, bytes, &locked.region1, &locked.bytes1, &locked.region2, &locked.bytes2, 0);
  }
  Check(result, kLockFailed);
  return locked;
}

void PlaybackEngine::Streamer::Unlock(const Locked& locked) {
  Check(buffer_->Unlock(locked.region1, locked.bytes1, locked.region2, locked.bytes2), kUnlockFailed);
}

// From a file at most a read buffer's worth is fetched at a time.
void PlaybackEngine::Streamer::Copy(RegionWriter& writer, uint32_t index, uint32_t count) {
  while (count > 0) {
    const uint32_t n = source_.PlaysFromMemory() ? count : std::min(count, WavFileSource::kReadBufferWords);
    writer.Put(source_.Fetch(index, n), n);
    index += n;
    count -= n;
  }
}

// Copies of the loop until the region is full; R follows the last copy.
void PlaybackEngine::Streamer::SpliceLoop(RegionWriter& writer) {
  while (writer.remaining() > 0) {
    const uint32_t n = std::min(loopLength_, writer.remaining());
    Copy(writer, loopStart_, n);
    readWord_ = loopStart_ + n;
  }
}

void PlaybackEngine::Streamer::FillFirstHalf() {
  const Locked locked = Lock(0, bytes_ / 2);
  RegionWriter writer = locked.Writer();
  if (looping() && 2 * uint64_t{loopEnd()} <= bytes_ / 2) {
    Copy(writer, 0, loopEnd());
    readWord_ = loopStart_;
    SpliceLoop(writer);
  } else {
    Copy(writer, 0, std::min(bytes_ / 4, totalWords_));
    writer.Zero(writer.remaining());
    readWord_ = bytes_ / 4;
  }
  Unlock(locked);
  Check(buffer_->SetCurrentPosition(0), kStartFailed);
  Check(buffer_->Play(0, 0, DSBPLAY_LOOPING), kStartFailed);
}

void PlaybackEngine::Streamer::RefillQuarter(DWORD offset) {
  const Locked locked = Lock(offset, bytes_ / 4);
  RegionWriter writer = locked.Writer();
  const uint32_t quarterWords = bytes_ / 8;
  if (looping() && uint64_t{readWord_} + quarterWords > loopEnd()) {
    Copy(writer, readWord_, loopEnd() - readWord_);
    SpliceLoop(writer);
  } else if (!looping() && uint64_t{readWord_} + quarterWords > totalWords_) {
    const uint32_t left = readWord_ < totalWords_ ? totalWords_ - readWord_ : 0;
    Copy(writer, readWord_, left);
    writer.Zero(writer.remaining());
    readWord_ += left;
  } else {
    Copy(writer, readWord_, quarterWords);
    readWord_ += quarterWords;
  }
  Unlock(locked);
}

void PlaybackEngine::Streamer::Stream() {
  const DWORD timeout = StreamTimeoutMs(bytes_, engine_.format_);
  DWORD writeCursor = bytes_ / 2;
  DWORD previousWord = 0;
  uint64_t wraps = 0;
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(events_.size()), events_.data(), FALSE, timeout);
    // Wait-any favours the lowest index, so the flag is what makes a stop win over a
    // stream of position notifications.
    if (woken == WAIT_OBJECT_0 + kStopNotification || engine_.stopRequested_) return;
    DWORD playCursor = 0;
    if (woken == WAIT_FAILED || FAILED(buffer_->GetCurrentPosition(&playCursor, nullptr))) {
      throw DSoundException{kUnexpectedFailure};
    }
    if (playCursor / 2 < previousWord) ++wraps;
    previousWord = playCursor / 2;
    const DWORD ahead = writeCursor > playCursor ? writeCursor - playCursor : bytes_ - playCursor + writeCursor;
    if (ahead >= bytes_ / 2) {
      // A one-shot sample ends once the play cursor has passed its last word.
      if (!looping() && wraps * (bytes_ / 2) + playCursor / 2 >= totalWords_) return;
      continue;
    }
    RefillQuarter(writeCursor);
    writeCursor += bytes_ / 4;
    if (writeCursor >= bytes_) writeCursor = 0;
  }
}

DWORD PlaybackEngine::StreamingThread(void* parameter) {
  auto& engine = *static_cast<PlaybackEngine*>(parameter);
  try {
    Streamer streamer(engine);
    streamer.Run();
  } catch (const DSoundException& failure) {
    engine.threadFailure_ = failure.code;
  } catch (...) {
    engine.threadFailure_ = kUnexpectedFailure;
  }
  return 0;
}

PlaybackEngine::PlaybackEngine()
    // Stands in for the first thread: the first stop finds it ended.
    : thread_(CreateEventA(nullptr, TRUE, TRUE, nullptr)), stopRequest_(nullptr) {
  if (thread_ == nullptr) throw std::bad_alloc();
}

DSoundException::DSoundException(int32_t code) noexcept : CodedError(code, FailedStep(code)) {}

std::string SoundFailureText(int32_t code) {
  return std::string(FailedStep(code)) + " (error " + std::to_string(code) + ")";
}

PlaybackEngine::~PlaybackEngine() { Shutdown(); }

void PlaybackEngine::EnumerateSoundDrivers() {
  drivers_.Clear();
  DirectSoundEnumerateA(&AppendDriver, &drivers_);
}

void PlaybackEngine::OpenDevice(const std::string& description, HWND window) {
  StopPlayback();
  ReleaseDevice();
  if (drivers_.Count() == 0) EnumerateSoundDrivers();
  int chosen = -1;
  int firstWithGuid = -1;
  for (int i = 0; i < drivers_.Count(); ++i) {
    const SoundDriver& driver = *drivers_.At(i);
    if (firstWithGuid < 0 && driver.hasGuid) firstWithGuid = i;
    if (driver.description == description) {
      chosen = i;
      break;
    }
  }
  if (chosen < 0) chosen = std::max(firstWithGuid, 0);
  const SoundDriver* driver = drivers_.Count() > 0 ? drivers_.At(chosen) : nullptr;
  const bool byGuid = driver != nullptr && driver->hasGuid;
  if (FAILED(DirectSoundCreate(byGuid ? &driver->guid : nullptr, &device_, nullptr))) {
    device_ = nullptr;
    throw DSoundException{kOpenFailed};
  }
  device_->SetCooperativeLevel(window, DSSCL_PRIORITY);  // a refusal changes nothing here

  DSBUFFERDESC primaryDescription;
  primaryDescription.dwSize = kDSBufferDescSize;
  primaryDescription.dwFlags = DSBCAPS_PRIMARYBUFFER;
  WAVEFORMATEX mix;
  mix.nChannels = 2;
  mix.nSamplesPerSec = 44100;
  mix.nAvgBytesPerSec = 176400;
  mix.nBlockAlign = 4;
  mix.wBitsPerSample = 16;
  if (FAILED(device_->CreateSoundBuffer(&primaryDescription, &primary_, nullptr)) ||
      FAILED(primary_->SetFormat(&mix))) {
    ReleaseDevice();
    throw DSoundException{kOpenFailed};
  }
  bufferBytes_ = kDeviceBufferBytes;
}

void PlaybackEngine::ReleaseDevice() {
  if (primary_ != nullptr) primary_->Release();
  primary_ = nullptr;
  if (device_ != nullptr) device_->Release();
  device_ = nullptr;
}

void PlaybackEngine::PlayOnce(const int16_t* data, uint32_t count, const PcmFormat& format) {
  EndThread();
  source_.UseMemory(data, Words(count, format));
  Begin(format, 0, 0);
}

void PlaybackEngine::PlayLooped(const int16_t* data, uint32_t count, const PcmFormat& format, uint32_t loopStart,
                                uint32_t loopLength) {
  EndThread();
  if (loopLength == 0 || uint64_t{loopStart} + loopLength > count) {
    loopStart = 0;
    loopLength = count;
  }
  source_.UseMemory(data, Words(count, format));
  Begin(format, Words(loopStart, format), Words(loopLength, format));
}

void PlaybackEngine::PlayWavFile(const std::filesystem::path& path) {
  EndThread();
  source_.UseFile(path);
  Begin(PcmFormat{}, 0, 0);
}

// The notifications drive the refills; the time-out is a fallback a quarter of a
// quarter-buffer long, at least 1 ms so that nothing spins, and at most 100 ms so
// that a device that moves its cursor only when asked is asked at slow rates too.
DWORD PlaybackEngine::StreamTimeoutMs(uint32_t bufferBytes, const PcmFormat& format) {
  const double bytesPerSecond = 2.0 * format.samplesPerSec * std::max<uint16_t>(format.channels, 1);
  const double quarterMs = bufferBytes / 4 * 1000.0 / bytesPerSecond;
  return static_cast<DWORD>(std::clamp(quarterMs / 4, 1.0, 100.0));
}

uint32_t PlaybackEngine::Words(uint32_t samples, const PcmFormat& format) {
  const uint64_t words = uint64_t{samples} * (format.channels == 2 ? 2 : 1);
  return static_cast<uint32_t>(std::min<uint64_t>(words, UINT32_MAX));
}

void PlaybackEngine::Begin(const PcmFormat& format, uint32_t loopStart, uint32_t loopLength) {
  format_ = format;
  loopStart_ = loopStart;
  loopLength_ = loopLength;
  threadFailure_ = 0;
  stopRequested_ = false;
  stopRequest_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = stopRequest_ != nullptr ? CreateThread(&StreamingThread, this) : nullptr;
  // Without a thread the engine stays idle.
  if (thread_ == nullptr) thread_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

void PlaybackEngine::StopPlayback() {
  if (thread_ == nullptr) return;
  stopRequested_ = true;
  if (stopRequest_ != nullptr) SetEvent(stopRequest_);
  WaitForSingleObject(thread_, INFINITE);
}

bool PlaybackEngine::WaitForPlaybackEnd(DWORD milliseconds) {
  return thread_ == nullptr || WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0;
}

void PlaybackEngine::EndThread() {
  StopPlayback();
  if (thread_ != nullptr) CloseHandle(thread_);
  thread_ = nullptr;
  if (stopRequest_ != nullptr) CloseHandle(stopRequest_);
  stopRequest_ = nullptr;
}

void PlaybackEngine::Shutdown() {
  EndThread();
  ReleaseDevice();
}
