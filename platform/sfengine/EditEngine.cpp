#include "platform/sfengine/internal/EditEngine.h"

#include <algorithm>
#include <string>

#include "platform/sfengine/internal/SoundFontWriter.h"
#include "platform/sfengine/internal/WavSampleReader.h"

namespace sfengine {
namespace {

constexpr uint8_t kHighestKey = 127;
constexpr int32_t kHighestBankNumber = 128;  // 128 is the percussion bank
constexpr int32_t kHighestPresetNumber = 127;
constexpr uint16_t kGenEndOperator = 60;

// Ids an instrument zone may carry through the generator call: the defined
// generators except the preset-only instrument, the sampleID the zone call sets, and
// the unused and reserved ids.
bool IsZoneGeneratorId(uint16_t id) {
  constexpr uint16_t kNotForZones[] = {14, 18, 19, 20, kGenInstrument, 42, 49, kGenSampleId, 55, 59};
  return id < kGenEndOperator && std::find(std::begin(kNotForZones), std::end(kNotForZones), id) ==
                                     std::end(kNotForZones);
}

// A range's low byte is the lower bound, its high byte the upper bound. Bounds above
// 127 are cut to 127; a reversed range is kept and simply never sounds, so that one
// damaged keygroup does not cost the whole bank.
uint16_t ClampedRange(uint16_t amount) {
  const uint8_t low = std::min<uint8_t>(amount & 0xff, kHighestKey);
  const uint8_t high = std::min<uint8_t>(amount >> 8, kHighestKey);
  return static_cast<uint16_t>(low | high << 8);
}

const char* InfoChunkFor(int32_t infoId) {
  for (const InfoIdChunk& entry : kInfoChunks) {
    if (entry.id == infoId) return entry.chunk;
  }
  return nullptr;
}

std::string ShortName(const char* name) { return std::string(name).substr(0, kMaxNameLength); }

}  // namespace

SFHandle EditEngine::NewHandle() {
  // Handles count up and skip 0; should they ever wrap, none still in use is reissued.
  do {
    ++lastHandle_;
  } while (lastHandle_ == 0 || banks_.count(lastHandle_) != 0 || parts_.count(lastHandle_) != 0);
  return lastHandle_;
}

EditEngine::Bank* EditEngine::EditableBank(SFHandle bank, int& result) {
  auto found = banks_.find(bank);
  if (found == banks_.end()) {
    result = kBadHandle;
    return nullptr;
  }
  if (found->second.ended) {
    result = kBankEnded;
    return nullptr;
  }
  return &found->second;
}

EditEngine::Part* EditEngine::EditablePart(SFHandle handle, Kind kind, int& result) {
  auto found = parts_.find(handle);
  if (found == parts_.end() || found->second.kind != kind) {
    result = kBadHandle;
    return nullptr;
  }
  if (EditableBank(found->second.bank, result) == nullptr) return nullptr;
  return &found->second;
}

int EditEngine::CreateBank(SFHandle* bank) {
  if (bank == nullptr) return kBadArgument;
  std::lock_guard lock(mutex_);
  const SFHandle handle = NewHandle();
  banks_.emplace(handle, Bank{});
  *bank = handle;
  return kOk;
}

int EditEngine::SetBankInfo(SFHandle bank, int32_t infoId, const char* text) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Bank* target = EditableBank(bank, result);
  if (target == nullptr) return result;
  const char* chunk = InfoChunkFor(infoId);
  if (chunk == nullptr || text == nullptr) return kBadArgument;
  target->model.info[chunk] = text;
  return kOk;
}

int EditEngine::SaveBank(SFHandle bank, const char* path, int32_t /*flags: none defined*/) {
  std::lock_guard lock(mutex_);
  auto found = banks_.find(bank);
  if (found == banks_.end()) return kBadHandle;
  if (path == nullptr || *path == '\0') return kBadArgument;
  switch (WriteSoundFont(found->second.model, path)) {
    case WriteResult::Ok:
      return kOk;
    case WriteResult::TooLarge:
      return kBankTooLarge;
    case WriteResult::FileError:
      break;
  }
  return kFileError;
}

int EditEngine::EndBank(SFHandle bank) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Bank* target = EditableBank(bank, result);
  if (target == nullptr) return result;
  target->ended = true;
  return kOk;
}

int EditEngine::ReleaseBank(SFHandle bank) {
  std::lock_guard lock(mutex_);
  if (banks_.erase(bank) == 0) return kBadHandle;
  std::erase_if(parts_, [bank](const auto& entry) { return entry.second.bank == bank; });
  return kOk;
}

int EditEngine::AddPreset(SFHandle bank, const char* name, int32_t bankNumber,
                          int32_t presetNumber, SFHandle instrument, SFHandle* preset) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Bank* target = EditableBank(bank, result);
  if (target == nullptr) return result;
  Part* instrumentPart = EditablePart(instrument, Kind::Instrument, result);
  if (instrumentPart == nullptr) return result;
  if (instrumentPart->bank != bank) return kBadHandle;
  if (name == nullptr || preset == nullptr || bankNumber < 0 || bankNumber > kHighestBankNumber ||
      presetNumber < 0 || presetNumber > kHighestPresetNumber) {
    return kBadArgument;
  }
  std::vector<SoundFontPreset>& presets = target->model.presets;
  // A second preset under the same numbers could never be selected by a player.
  if (std::any_of(presets.begin(), presets.end(), [&](const SoundFontPreset& other) {
        return other.bankNumber == bankNumber && other.presetNumber == presetNumber;
      })) {
    return kDuplicatePreset;
  }
  presets.push_back({ShortName(name), static_cast<uint16_t>(bankNumber),
                     static_cast<uint16_t>(presetNumber), instrumentPart->index});
  const SFHandle handle = NewHandle();
  parts_.emplace(handle, Part{Kind::Preset, bank, presets.size() - 1, 0});
  *preset = handle;
  return kOk;
}

int EditEngine::AddInstrument(SFHandle bank, const char* name, int32_t /*flags: none defined*/,
                              SFHandle* instrument) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Bank* target = EditableBank(bank, result);
  if (target == nullptr) return result;
  if (name == nullptr || instrument == nullptr) return kBadArgument;
  target->model.instruments.push_back({ShortName(name), {}});
  const SFHandle handle = NewHandle();
  parts_.emplace(handle, Part{Kind::Instrument, bank, target->model.instruments.size() - 1, 0});
  *instrument = handle;
  return kOk;
}

int EditEngine::AddInstrumentZone(SFHandle instrument, SFHandle sample, SFHandle* zone) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Part* instrumentPart = EditablePart(instrument, Kind::Instrument, result);
  if (instrumentPart == nullptr) return result;
  Part* samplePart = EditablePart(sample, Kind::Sample, result);
  if (samplePart == nullptr) return result;
  if (samplePart->bank != instrumentPart->bank) return kBadHandle;
  if (zone == nullptr) return kBadArgument;
  const Part owner = *instrumentPart;
  SoundFontInstrument& target = banks_.at(owner.bank).model.instruments[owner.index];
  target.zones.push_back(SoundFontZone{samplePart->index, {}, {}, {}});
  const SFHandle handle = NewHandle();
  parts_.emplace(handle, Part{Kind::Zone, owner.bank, owner.index, target.zones.size() - 1});
  *zone = handle;
  return kOk;
}

int EditEngine::SetRange(SFHandle zone, const SFGenRecord* generator, uint16_t expectedId) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Part* zonePart = EditablePart(zone, Kind::Zone, result);
  if (zonePart == nullptr) return result;
  if (generator == nullptr || generator->id != expectedId) return kBadArgument;
  SoundFontZone& target = banks_.at(zonePart->bank).model.instruments[zonePart->index].zones[zonePart->zone];
  sfengine::SetZoneGenerator(target, {generator->id, ClampedRange(generator->amount)});
  return kOk;
}

int EditEngine::SetZoneKeyRange(SFHandle zone, const SFGenRecord* generator) {
  return SetRange(zone, generator, kGenKeyRange);
}

int EditEngine::SetZoneVelocityRange(SFHandle zone, const SFGenRecord* generator) {
  return SetRange(zone, generator, kGenVelRange);
}

int EditEngine::SetZoneGenerator(SFHandle zone, const SFGenRecord* generator) {
  // The ranges have calls of their own, which also clamp their bounds.
  if (generator != nullptr && (generator->id == kGenKeyRange || generator->id == kGenVelRange)) {
    return SetRange(zone, generator, generator->id);
  }
  std::lock_guard lock(mutex_);
  int result = kOk;
  Part* zonePart = EditablePart(zone, Kind::Zone, result);
  if (zonePart == nullptr) return result;
  if (generator == nullptr || !IsZoneGeneratorId(generator->id)) return kBadArgument;
  SoundFontZone& target = banks_.at(zonePart->bank).model.instruments[zonePart->index].zones[zonePart->zone];
  sfengine::SetZoneGenerator(target, {generator->id, generator->amount});
  return kOk;
}

int EditEngine::ImportWavSample(const char* wavPath, SFHandle bank, const char* name,
                                SFHandle* sample) {
  std::lock_guard lock(mutex_);
  int result = kOk;
  Bank* target = EditableBank(bank, result);
  if (target == nullptr) return result;
  if (wavPath == nullptr || name == nullptr || sample == nullptr) return kBadArgument;
  std::optional<SoundFontSample> imported = ReadWavSample(wavPath, target->model.store);
  if (!imported) return kBadWavFile;
  imported->name = ShortName(name);
  target->model.samples.push_back(std::move(*imported));
  const SFHandle handle = NewHandle();
  parts_.emplace(handle, Part{Kind::Sample, bank, target->model.samples.size() - 1, 0});
  *sample = handle;
  return kOk;
}

}  // namespace sfengine
