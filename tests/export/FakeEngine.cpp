#include "tests/export/FakeEngine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace testexport {

namespace {

FakeEngine* current = nullptr;

FakeEngine& Current() { return *current; }

int Fill(int result, SFHandle* out) { return Current().HandOut(result, out); }

int CreateBank(SFHandle* bank) { return Fill(Current().Record({"CreateBank", {}, ""}), bank); }

int SetBankInfo(SFHandle bank, int32_t id, const char* text) {
  return Current().Record({"SetBankInfo", {bank, id}, text});
}

int SaveBank(SFHandle bank, const char* path, int32_t flags) {
  const int result = Current().Record({"SaveBank", {bank, flags}, path});
  if (result == 0) std::ofstream(path) << "bank";
  return result;
}

int EndBank(SFHandle bank) { return Current().Record({"EndBank", {bank}, ""}); }
int ReleaseBank(SFHandle bank) { return Current().Record({"ReleaseBank", {bank}, ""}); }

int AddPreset(SFHandle bank, const char* name, int32_t bankNumber, int32_t presetNumber,
              SFHandle instrument, SFHandle* preset) {
  return Fill(Current().Record({"AddPreset", {bank, bankNumber, presetNumber, instrument}, name}),
              preset);
}

int AddInstrument(SFHandle bank, const char* name, int32_t flags, SFHandle* instrument) {
  return Fill(Current().Record({"AddInstrument", {bank, flags}, name}), instrument);
}

int AddInstrumentZone(SFHandle instrument, SFHandle sample, SFHandle* zone) {
  return Fill(Current().Record({"AddInstrumentZone", {instrument, sample}, ""}), zone);
}

int RecordGenerator(const char* slot, SFHandle zone, const SFGenRecord* g) {
  return Current().Record({slot, {zone, g->id, g->amount}, ""});
}

int SetZoneKeyRange(SFHandle zone, const SFGenRecord* g) { return RecordGenerator("SetZoneKeyRange", zone, g); }
int SetZoneVelocityRange(SFHandle zone, const SFGenRecord* g) {
  return RecordGenerator("SetZoneVelocityRange", zone, g);
}
int SetZoneGenerator(SFHandle zone, const SFGenRecord* g) { return RecordGenerator("SetZoneGenerator", zone, g); }

// Whether another holder has an exclusive lock on `path` right now.
bool LockedElsewhere(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return locked;
}

int ImportWavSample(const char* wavPath, SFHandle bank, const char* name, SFHandle* sample) {
  std::error_code error;
  const uintmax_t bytes = std::filesystem::file_size(wavPath, error);
  Current().NoteImport(name, error ? 0 : bytes, LockedElsewhere(std::string(wavPath) + ".lock"));
  return Fill(Current().Record({"ImportWavSample", {bank}, wavPath}), sample);
}

}  // namespace

FakeEngine::FakeEngine() {
  if (current != nullptr) throw std::logic_error("one FakeEngine at a time");
  current = this;
  api_.CreateBank = CreateBank;
  api_.SetBankInfo = SetBankInfo;
  api_.SaveBank = SaveBank;
  api_.EndBank = EndBank;
  api_.ReleaseBank = ReleaseBank;
  api_.AddPreset = AddPreset;
  api_.AddInstrument = AddInstrument;
  api_.AddInstrumentZone = AddInstrumentZone;
  api_.SetZoneKeyRange = SetZoneKeyRange;
  api_.SetZoneVelocityRange = SetZoneVelocityRange;
  api_.SetZoneGenerator = SetZoneGenerator;
  api_.ImportWavSample = ImportWavSample;
}

FakeEngine::~FakeEngine() { current = nullptr; }

int FakeEngine::Record(EngineCall call) {
  const int count = ++callCounts_[call.slot];
  const auto failure = failures_.find(call.slot);
  calls_.push_back(std::move(call));
  return failure != failures_.end() && failure->second == count ? 1 : 0;
}

int FakeEngine::HandOut(int result, SFHandle* out) {
  if (result == 0) *out = calls_.back().handedOut = ++lastHandle_;
  return result;
}

std::vector<EngineCall> FakeEngine::CallsOf(const std::string& slot) const {
  std::vector<EngineCall> result;
  for (const EngineCall& call : calls_) {
    if (call.slot == slot) result.push_back(call);
  }
  return result;
}

std::vector<std::string> FakeEngine::SlotSequence() const {
  std::vector<std::string> result;
  for (const EngineCall& call : calls_) result.push_back(call.slot);
  return result;
}

}  // namespace testexport
