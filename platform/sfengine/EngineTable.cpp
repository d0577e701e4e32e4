// The table of entry points handed to callers, over the process-wide engine. No
// exception may cross into the caller: each entry turns one into a result code.

#include <new>

#include "platform/sfengine/internal/EditEngine.h"

namespace sfengine {
namespace {

EditEngine& Engine() {
  static EditEngine engine;
  return engine;
}

// Calls a member of the engine and answers a result code whatever happens inside.
template <auto Member, typename... Args>
int Call(Args... args) noexcept {
  try {
    return (Engine().*Member)(args...);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kBadArgument;
  }
}

EngineApi MakeTable() {
  EngineApi api{};
  api.CreateBank = &Call<&EditEngine::CreateBank, SFHandle*>;
  api.SetBankInfo = &Call<&EditEngine::SetBankInfo, SFHandle, int32_t, const char*>;
  api.SaveBank = &Call<&EditEngine::SaveBank, SFHandle, const char*, int32_t>;
  api.EndBank = &Call<&EditEngine::EndBank, SFHandle>;
  api.ReleaseBank = &Call<&EditEngine::ReleaseBank, SFHandle>;
  api.AddPreset =
      &Call<&EditEngine::AddPreset, SFHandle, const char*, int32_t, int32_t, SFHandle, SFHandle*>;
  api.AddInstrument = &Call<&EditEngine::AddInstrument, SFHandle, const char*, int32_t, SFHandle*>;
  api.AddInstrumentZone = &Call<&EditEngine::AddInstrumentZone, SFHandle, SFHandle, SFHandle*>;
  api.SetZoneKeyRange = &Call<&EditEngine::SetZoneKeyRange, SFHandle, const SFGenRecord*>;
  api.SetZoneVelocityRange = &Call<&EditEngine::SetZoneVelocityRange, SFHandle, const SFGenRecord*>;
  api.SetZoneGenerator = &Call<&EditEngine::SetZoneGenerator, SFHandle, const SFGenRecord*>;
  api.ImportWavSample =
      &Call<&EditEngine::ImportWavSample, const char*, SFHandle, const char*, SFHandle*>;
  return api;
}

}  // namespace

int GetEngineTable(uint32_t version, EngineApi** api) {
  // The table is built once and never changes, so callers may keep the pointer.
  static EngineApi table = MakeTable();
  if (version != kEngineInterfaceVersion) return kWrongVersion;
  if (api == nullptr) return kBadArgument;
  *api = &table;
  return kOk;
}

}  // namespace sfengine
