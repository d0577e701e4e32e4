// The WAV file device: writes the mix (44.1 kHz, 2 channels, 16 bits) to a file
// instead of a sound card. Its play cursors move when a caller reads a buffer's
// position: the mix is written up to just past that buffer's next notification, so
// the caller is woken again at once. A file with a frame limit is written that fast
// and ends at the limit; one without is written no faster than a sound card would
// play (the frames real time allows since a buffer last started), so a loop that only
// a user stops grows as it is heard. 2 GiB of data, the most the file's 32-bit
// offsets reach, end the recording as a limit would: the file is kept and the cut
// reported. Only regular files are written: a folder, FIFO or device is refused
// before it is opened. A write failure stops every buffer and is reported through
// TakeSoundOutputFailure; the partial file is deleted only when this device made it.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "platform/dsound/internal/Mixer.h"
#include "platform/mmio/Mmio.h"

namespace platform {
namespace {

constexpr const char* kFileDriverDescription = "WAV file";
// At most this many mix frames are written per position read.
constexpr DWORD kMaxStepFrames = 16384;
constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
// The file functions use 32-bit signed offsets; 4 bytes a frame.
constexpr uint64_t kMaxDataFrames = (0x7FFFFFFFull - 64) / 4;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The frames a sound card would have played since the last Restart.
class RealTimePace {
 public:
  void Restart(uint64_t written) {
    origin_ = Clock::now();
    base_ = written;
  }
  // How many of them are still to be written when `written` are.
  uint64_t Due(uint64_t written, DWORD rate) const {
    const double seconds = std::chrono::duration<double>(Clock::now() - origin_).count();
    const uint64_t played = base_ + static_cast<uint64_t>(seconds * rate);
    return played > written ? played - written : 0;
  }

 private:
  Clock::time_point origin_ = Clock::now();
  uint64_t base_ = 0;
};

const GUID& FileGuid() {
  static const GUID guid = GuidFromName(kFileDriverDescription);
  return guid;
}

class WavFileDevice final : public SoftwareDevice {
 public:
  // `created`: the file did not exist before this device opened it.
  WavFileDevice(SoundFileTarget target, HMMIO file, bool created)
      : target_(std::move(target)), created_(created), file_(file) {
    CountSoundFileDevices(+1);
  }

  ~WavFileDevice() override {
    StopAll();
    std::lock_guard lock(mutex_);
    CountSoundFileDevices(-1);
    if (file_ == nullptr) return;
    const bool written = mmioAscend(file_, &data_, 0) == MMSYSERR_NOERROR &&
                         mmioAscend(file_, &riff_, 0) == MMSYSERR_NOERROR;
    const bool closed = mmioClose(file_, 0) == MMSYSERR_NOERROR;
    file_ = nullptr;
    if (!written || !closed) Fail();
  }

  // Writes the RIFF header and opens the "data" chunk.
  bool Start() {
    riff_.fccType = kWave;
    MMCKINFO format;
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    const WAVEFORMATEX mix = mixFormat();
    data_.ckid = mmioFOURCC('d', 'a', 't', 'a');
    return mmioCreateChunk(file_, &riff_, MMIO_CREATERIFF) == MMSYSERR_NOERROR &&
           mmioCreateChunk(file_, &format, 0) == MMSYSERR_NOERROR &&
           mmioWrite(file_, reinterpret_cast<const char*>(&mix), sizeof mix) == sizeof mix &&
           mmioAscend(file_, &format, 0) == MMSYSERR_NOERROR && mmioCreateChunk(file_, &data_, 0) == MMSYSERR_NOERROR;
  }

  HRESULT AcceptMixFormat(const WAVEFORMATEX& format) override {
    const WAVEFORMATEX written = mixFormat();
    return format.nChannels == written.nChannels && format.nSamplesPerSec == written.nSamplesPerSec
               ? DS_OK
               : DSERR_BADFORMAT;
  }

  // A buffer that starts after a pause is not owed the time nothing played.
  HRESULT BufferStarting(SoftwareBuffer&) override {
    std::lock_guard lock(mutex_);
    pace_.Restart(framesWritten_);
    return DS_OK;
  }

  void PositionRead(SoftwareBuffer& buffer) override {
    std::unique_lock lock(mutex_);
    if (file_ == nullptr) return;
    const auto frames = static_cast<DWORD>(std::min<uint64_t>(StepFrames(buffer), FramesDue()));
    if (frames > 0) Write(frames);
    // The recording is complete (or failed): everything stops, as if stopped by hand.
    if (file_ == nullptr || framesWritten_ >= LastFrame()) {
      lock.unlock();
      StopAll();
    }
  }

 private:
  // The frames after which the recording ends: the limit, else the most a file holds.
  uint64_t LastFrame() const {
    return target_.frameLimit > 0 ? std::min(target_.frameLimit, kMaxDataFrames) : kMaxDataFrames;
  }

  uint64_t FramesDue() const {
    const uint64_t left = LastFrame() - std::min(framesWritten_, LastFrame());
    if (target_.frameLimit > 0) return left;
    return std::min(left, pace_.Due(framesWritten_, mixFormat().nSamplesPerSec));
  }

  // Mixes `frames` and appends them; the file is closed when that fails.
  void Write(DWORD frames) {
    mix_.resize(size_t{frames} * 2);
    mixer_.Mix(*this, mixFormat().nSamplesPerSec, mix_.data(), frames);
    const LONG bytes = static_cast<LONG>(mix_.size() * sizeof(int16_t));
    if (mmioWrite(file_, reinterpret_cast<const char*>(mix_.data()), bytes) != bytes) {
      mmioClose(file_, 0);
      file_ = nullptr;
      Fail();
      return;
    }
    framesWritten_ += frames;
    if (framesWritten_ == kMaxDataFrames && target_.frameLimit != kMaxDataFrames) {
      ReportSoundOutputFailure(target_.path + " reached 2 GiB, the most a WAV file holds: the recording ends there");
    }
  }

  // The mix frames that move `buffer` just past its next notification.
  DWORD StepFrames(SoftwareBuffer& buffer) {
    const WAVEFORMATEX& format = buffer.format();
    const double bufferFrames = buffer.BytesToNextNotification() / format.nBlockAlign;
    const double frames = std::ceil(bufferFrames * mixFormat().nSamplesPerSec / format.nSamplesPerSec) + 1;
    return static_cast<DWORD>(std::min<double>(frames, kMaxStepFrames));
  }

  // A file that was there before is never deleted: it may be the user's.
  void Fail() {
    std::string outcome = "what was written is incomplete";
    if (created_) {
      std::error_code ignored;
      fs::remove(target_.path, ignored);
      outcome = "the partial file was deleted";
    }
    ReportSoundOutputFailure("cannot write " + target_.path + " (disk full, or no longer writable); " + outcome);
  }

  const SoundFileTarget target_;
  const bool created_;
  std::mutex mutex_;  // the file and the mixer
  HMMIO file_;
  MMCKINFO riff_;
  MMCKINFO data_;
  Mixer mixer_;
  std::vector<int16_t> mix_;
  uint64_t framesWritten_ = 0;
  RealTimePace pace_;
};

void Enumerate(std::vector<SoundDriverEntry>& drivers) {
  if (!ChosenSoundFile().path.empty()) drivers.push_back({kFileDriverDescription, "file", FileGuid()});
}

HRESULT Create(const GUID* guid, IDirectSound** device) {
  SoundFileTarget target = ChosenSoundFile();
  if (target.path.empty() || (guid != nullptr && *guid != FileGuid())) return DSERR_NODRIVER;
  // Opening a FIFO would wait for a reader, writing a device would write the device.
  std::error_code error;
  const fs::file_status status = fs::status(target.path, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    ReportSoundOutputFailure(target.path + " is not a regular file (a folder, FIFO or device): sound is written to files only");
    return DSERR_GENERIC;
  }
  const bool existed = fs::exists(fs::symlink_status(target.path, error));
  HMMIO file = mmioOpen(target.path, MMIO_WRITE | MMIO_CREATE);
  if (file == nullptr) {
    ReportSoundOutputFailure("cannot create " + target.path);
    return DSERR_GENERIC;
  }
  auto* created = new WavFileDevice(std::move(target), file, !existed);
  if (!created->Start()) {
    created->Release();  // reports, and deletes the file it made
    return DSERR_GENERIC;
  }
  *device = created;
  return DS_OK;
}

}  // namespace

extern const SoundBackend kWavFileBackend{"file", Enumerate, Create};

}  // namespace platform
