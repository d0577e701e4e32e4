// The registry hive parser. A hive that parses must format to text that parses back
// to the same text: the registry saves by formatting and reloads by parsing.

#include <cstdlib>
#include <string>

#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string saved;
  try {
    saved = platform::FormatHive(platform::ParseHive(text, "fuzz.reg"));
  } catch (const platform::HiveError&) {
    return 0;
  }
  if (platform::FormatHive(platform::ParseHive(saved, "saved.reg")) != saved) std::abort();
  return 0;
}
