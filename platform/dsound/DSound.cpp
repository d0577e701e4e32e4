// Driver enumeration and device creation over the chosen backends.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/dsound/SoundBackend.h"

namespace platform {
namespace {

constexpr const char* kPrimaryDriverDescription = "Primary Sound Driver";
constexpr std::string_view kFilePrefix = "file:";

struct Choice {
  bool valid = false;
  std::vector<std::string> backends;  // names, in listing order; empty: all but "file"
  SoundFileTarget file;
};

Choice Parse(std::string_view output) {
  if (output.empty()) return {true, {}, {}};
  if (output == "silent") return {true, {"silent"}, {}};
  if (output.starts_with(kFilePrefix) && output.size() > kFilePrefix.size()) {
    return {true, {"file", "silent"}, {std::string(output.substr(kFilePrefix.size()))}};
  }
  return {};
}

struct Outputs {
  std::mutex mutex;
  bool chosen = false;
  Choice choice;
  std::vector<SoundBackend> installed;
  std::optional<std::string> failure;
  int openFiles = 0;
};

Outputs& TheOutputs() {
  static Outputs outputs;
  return outputs;
}

// With the outputs' lock held: CARVOX_SOUND decides until SelectSoundOutput does (an
// unknown value leaves every output in).
Choice& CurrentChoice(Outputs& outputs) {
  if (!outputs.chosen) {
    const char* variable = std::getenv("CARVOX_SOUND");
    outputs.choice = Parse(variable != nullptr ? variable : "");
    if (!outputs.choice.valid) outputs.choice = Parse("");
    outputs.chosen = true;
  }
  return outputs.choice;
}

std::vector<SoundBackend> ActiveBackends() {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  if (!outputs.installed.empty()) return outputs.installed;
  const Choice& choice = CurrentChoice(outputs);
  std::vector<SoundBackend> active;
  for (const SoundBackend& backend : CompiledSoundBackends()) {
    const std::string_view name = backend.name;
    const bool wanted = choice.backends.empty()
                            ? name != "file"
                            : std::find(choice.backends.begin(), choice.backends.end(), name) != choice.backends.end();
    if (wanted) active.push_back(backend);
  }
  return active;
}

bool Compiled(std::string_view name) {
  const std::span<const SoundBackend> compiled = CompiledSoundBackends();
  return std::any_of(compiled.begin(), compiled.end(), [name](const SoundBackend& b) { return b.name == name; });
}

}  // namespace

bool SelectSoundOutput(std::string_view output) {
  Choice choice = Parse(output);
  if (!choice.valid || !std::all_of(choice.backends.begin(), choice.backends.end(), Compiled)) return false;
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  outputs.choice = std::move(choice);
  outputs.chosen = true;
  return true;
}

void ForgetSoundOutputChoice() {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  outputs.chosen = false;
}

void LimitSoundFile(uint64_t frames) {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  Choice& choice = CurrentChoice(outputs);
  if (!choice.file.path.empty()) choice.file.frameLimit = frames;
}

bool SoundFileOpen() {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  return outputs.openFiles > 0;
}

void CountSoundFileDevices(int change) {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  outputs.openFiles += change;
}

SoundFileTarget ChosenSoundFile() {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  return CurrentChoice(outputs).file;
}

void InstallSoundBackends(std::vector<SoundBackend> backends) {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  outputs.installed = std::move(backends);
}

void ReportSoundOutputFailure(const std::string& reason) {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  if (!outputs.failure) outputs.failure = reason;
}

std::optional<std::string> TakeSoundOutputFailure() {
  Outputs& outputs = TheOutputs();
  std::lock_guard lock(outputs.mutex);
  return std::exchange(outputs.failure, std::nullopt);
}

GUID GuidFromName(std::string_view name) {
  // Two FNV-1a hashes with different offsets fill the 16 bytes.
  const auto hash = [name](uint64_t value) {
    for (const char c : name) value = (value ^ static_cast<uint8_t>(c)) * 0x100000001B3ull;
    return value;
  };
  const uint64_t high = hash(0xCBF29CE484222325ull);
  const uint64_t low = hash(0x84222325CBF29CE4ull);
  GUID guid;
  guid.Data1 = static_cast<uint32_t>(high >> 32);
  guid.Data2 = static_cast<uint16_t>(high >> 16);
  guid.Data3 = static_cast<uint16_t>((high & 0x0FFF) | 0x4000);  // marked as a name-based GUID
  std::memcpy(guid.Data4, &low, sizeof guid.Data4);
  return guid;
}

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
  if (callback == nullptr) return DSERR_INVALIDPARAM;
  if (!callback(nullptr, kPrimaryDriverDescription, "", context)) return DS_OK;
  std::vector<SoundDriverEntry> drivers;
  for (const SoundBackend& backend : ActiveBackends()) backend.enumerate(drivers);
  for (SoundDriverEntry& driver : drivers) {
    if (!callback(&driver.guid, driver.description.c_str(), driver.module.c_str(), context)) break;
  }
  return DS_OK;
}

HRESULT DirectSoundCreate(const GUID* guid, IDirectSound** device, void* outer) {
  if (device == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  *device = nullptr;
  for (const SoundBackend& backend : ActiveBackends()) {
    const HRESULT created = backend.create(guid, device);
    if (created != DSERR_NODRIVER) return created;
  }
  return DSERR_NODRIVER;
}

}  // namespace platform
