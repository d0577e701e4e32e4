// The WAV file device: writes the mix (44.1 kHz, 2 channels, 16 bits) to a file
// instead of a sound card. Its play cursors move as fast as the file is written: each
// time a caller reads a buffer's position, the mix is written up to just past that
// buffer's next notification position, so the caller is woken again at once.
// A write failure stops every buffer, deletes the partial file and is reported
// through TakeSoundOutputFailure.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "platform/dsound/Mixer.h"
#include "platform/mmio/Mmio.h"

namespace platform {
namespace {

constexpr const char* kFileDriverDescription = "WAV file";
// At most this many mix frames are written per position read.
constexpr DWORD kMaxStepFrames = 16384;
constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
// The file functions use 32-bit signed offsets.
constexpr uint64_t kMaxDataBytes = 0x7FFFFFFFull - 64;

const GUID& FileGuid() {
  static const GUID guid = GuidFromName(kFileDriverDescription);
  return guid;
}

class WavFileDevice final : public SoftwareDevice {
 public:
  WavFileDevice(SoundFileTarget target, HMMIO file) : target_(std::move(target)), file_(file) {}

  ~WavFileDevice() override {
    StopAll();
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) return;
    const bool written = mmioAscend(file_, &data_, 0) == MMSYSERR_NOERROR &&
                         mmioAscend(file_, &riff_, 0) == MMSYSERR_NOERROR;
    const bool closed = mmioClose(file_, 0) == MMSYSERR_NOERROR;
    file_ = nullptr;
    if (!written || !closed) Fail("cannot write ");
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

  void PositionRead(SoftwareBuffer& buffer) override {
    std::unique_lock lock(mutex_);
    if (file_ == nullptr) return;
    DWORD frames = StepFrames(buffer);
    if (target_.frameLimit > 0) {
      frames = static_cast<DWORD>(std::min<uint64_t>(frames, target_.frameLimit - framesWritten_));
    }
    if (frames > 0) {
      mix_.resize(size_t{frames} * 2);
      mixer_.Mix(*this, mixFormat().nSamplesPerSec, mix_.data(), frames);
      const LONG bytes = static_cast<LONG>(mix_.size() * sizeof(int16_t));
      if ((framesWritten_ + frames) * 4 > kMaxDataBytes ||
          mmioWrite(file_, reinterpret_cast<const char*>(mix_.data()), bytes) != bytes) {
        mmioClose(file_, 0);
        file_ = nullptr;
        Fail("cannot write ");
      }
      framesWritten_ += frames;
    }
    // The recording is complete (or failed): everything stops, as if stopped by hand.
    if (file_ == nullptr || (target_.frameLimit > 0 && framesWritten_ >= target_.frameLimit)) {
      lock.unlock();
      StopAll();
    }
  }

 private:
  // The mix frames that move `buffer` just past its next notification.
  DWORD StepFrames(SoftwareBuffer& buffer) {
    const WAVEFORMATEX& format = buffer.format();
    const double bufferFrames = buffer.BytesToNextNotification() / format.nBlockAlign;
    const double frames = std::ceil(bufferFrames * mixFormat().nSamplesPerSec / format.nSamplesPerSec) + 1;
    return static_cast<DWORD>(std::min<double>(frames, kMaxStepFrames));
  }

  void Fail(const std::string& what) {
    std::error_code ignored;
    std::filesystem::remove(target_.path, ignored);
    ReportSoundOutputFailure(what + target_.path + " (disk full, or no longer writable); the partial file was deleted");
  }

  const SoundFileTarget target_;
  std::mutex mutex_;  // the file and the mixer
  HMMIO file_;
  MMCKINFO riff_;
  MMCKINFO data_;
  Mixer mixer_;
  std::vector<int16_t> mix_;
  uint64_t framesWritten_ = 0;
};

void Enumerate(std::vector<SoundDriverEntry>& drivers) {
  if (!ChosenSoundFile().path.empty()) drivers.push_back({kFileDriverDescription, "file", FileGuid()});
}

HRESULT Create(const GUID* guid, IDirectSound** device) {
  SoundFileTarget target = ChosenSoundFile();
  if (target.path.empty() || (guid != nullptr && *guid != FileGuid())) return DSERR_NODRIVER;
  HMMIO file = mmioOpen(target.path, MMIO_WRITE | MMIO_CREATE);
  if (file == nullptr) {
    ReportSoundOutputFailure("cannot create " + target.path);
    return DSERR_GENERIC;
  }
  auto* created = new WavFileDevice(std::move(target), file);
  if (!created->Start()) {
    created->Release();  // deletes the file and reports
    return DSERR_GENERIC;
  }
  *device = created;
  return DS_OK;
}

}  // namespace

extern const SoundBackend kWavFileBackend{"file", Enumerate, Create};

}  // namespace platform
