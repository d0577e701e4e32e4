#include "platform/sfengine/internal/SoundFontBank.h"

#include <algorithm>

namespace sfengine {

void SetZoneGenerator(SoundFontZone& zone, SoundFontGenerator generator) {
  if (generator.id == kGenKeyRange) {
    zone.keyRange = generator.amount;
    return;
  }
  if (generator.id == kGenVelRange) {
    zone.velRange = generator.amount;
    return;
  }
  auto same = std::find_if(zone.generators.begin(), zone.generators.end(),
                           [&](const SoundFontGenerator& set) { return set.id == generator.id; });
  if (same != zone.generators.end()) {
    same->amount = generator.amount;
  } else {
    zone.generators.push_back(generator);
  }
}

std::string BankName(const SoundFontBank& bank) {
  auto name = bank.info.find("INAM");
  if (name != bank.info.end() && !name->second.empty()) return name->second;
  if (!bank.presets.empty() && !bank.presets.front().name.empty()) return bank.presets.front().name;
  return "Untitled";
}

}  // namespace sfengine
