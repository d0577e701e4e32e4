#pragma once
// A test double of the SoundFont edit engine's table: records every call with its
// arguments, answers 0 and hands out fresh handles, and can be told to refuse a chosen
// call. A successful save writes a small file so that tests can see whether a bank
// file was left behind.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sfengine/EngineApi.h"

namespace testexport {

struct EngineCall {
  std::string slot;             // "CreateBank", "SetZoneGenerator", ...
  std::vector<int64_t> values;  // handles, ids and amounts, in argument order
  std::string text;             // the string argument (name, path, information text)
  SFHandle handedOut = 0;       // the handle the call filled in, if any
};

class FakeEngine {
 public:
  // Installs itself as the engine behind the table while it lives (one at a time).
  FakeEngine();
  ~FakeEngine();
  FakeEngine(const FakeEngine&) = delete;
  FakeEngine& operator=(const FakeEngine&) = delete;

  EngineApi* api() { return &api_; }

  // The `occurrence`-th call (from 1) of `slot` answers 1 instead of 0.
  void Fail(const std::string& slot, int occurrence = 1) { failures_[slot] = occurrence; }

  const std::vector<EngineCall>& calls() const { return calls_; }
  std::vector<EngineCall> CallsOf(const std::string& slot) const;
  std::vector<std::string> SlotSequence() const;
  // The WAV files the import calls found, by sample name: their size in bytes
  // (0 when the file was missing at the time of the call).
  const std::map<std::string, uintmax_t>& importedFileSizes() const { return importedFileSizes_; }
  // Whether every import found "WAV path.lock" locked by its caller.
  bool importsFoundTheLockHeld() const { return importsFoundTheLockHeld_; }

  // Entry points behind the table.
  int Record(EngineCall call);
  // Fills `out` with a fresh handle (noted with the last call) unless it was refused.
  int HandOut(int result, SFHandle* out);
  void NoteImport(const std::string& name, uintmax_t bytes, bool lockHeld) {
    importedFileSizes_[name] = bytes;
    importsFoundTheLockHeld_ = importsFoundTheLockHeld_ && lockHeld;
  }

 private:
  EngineApi api_{};
  std::vector<EngineCall> calls_;
  std::map<std::string, int> failures_;
  std::map<std::string, int> callCounts_;
  std::map<std::string, uintmax_t> importedFileSizes_;
  bool importsFoundTheLockHeld_ = true;
  SFHandle lastHandle_ = 100;
};

}  // namespace testexport
