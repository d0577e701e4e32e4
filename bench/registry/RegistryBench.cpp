// 10,000 value writes and reads through the machine's hive file, each write a full
// locked, synced, renamed save as in normal use. Prints the cost per operation and the
// size of the hive. Runs on a machine in a temporary folder unless CARVOX_MACHINE is set.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

constexpr int kValues = 10000;

double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  fs::path scratch;
  if (getenv("CARVOX_MACHINE") == nullptr) {
    std::string pattern = (fs::temp_directory_path() / "carvox-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    scratch = pattern;
    setenv("CARVOX_MACHINE", scratch.c_str(), 1);
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kValues; ++i) {
    const std::string name = "value" + std::to_string(i);
    const std::string data = "C:\\Program Files\\Korvell\\Carvox\\file" + std::to_string(i) + ".dll";
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  }
  const double writes = MicrosecondsSince(start);
  start = std::chrono::steady_clock::now();
  int found = 0;
  for (int i = 0; i < kValues; ++i) {
    const std::string name = "VALUE" + std::to_string(i);
    char buffer[256];
    DWORD size = sizeof buffer;
    found += RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
             ERROR_SUCCESS;
  }
  const double reads = MicrosecondsSince(start);
  RegCloseKey(key);
  std::printf("registry: %d writes, %.1f us per write (the hive grows to %d values)\n", kValues, writes / kValues,
              kValues);
  std::printf("registry: %d reads (%d found), %.2f us per read\n", kValues, found, reads / kValues);
  std::printf("registry: hive file %ju bytes\n", static_cast<uintmax_t>(fs::file_size(HiveFilePath())));
  if (!scratch.empty()) fs::remove_all(scratch);
  return found == kValues ? 0 : 1;
}
