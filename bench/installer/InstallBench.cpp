// An unattended installation and its uninstallation on a fresh machine, as a user runs
// them (the programs themselves). Prints the wall time of each, the hive writes the
// installation made (the lines its registry export gained: one per key created or
// value written) and the ratio of the installation's time to its floor: copying the
// installed files plus one measured hive write per registry change.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchMeasures.h"
#include "installer/InstallLog.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

std::set<std::string> ExportLines() {
  std::string text;
  RegExportText(nullptr, nullptr, text);
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

// The files the log says were installed, plus the uninstaller.
std::vector<fs::path> InstalledFiles() {
  std::vector<std::string> lines;
  installer::ReadInstallLog("C:\\Program Files\\Korvell\\Carvox\\_install.log", lines);
  std::vector<fs::path> files{ToHostPath("C:\\WINDOWS\\ONUnInst.exe")};
  for (const std::string& line : lines) {
    const installer::LogLine split = installer::SplitLogLine(line);
    if (split.kind == installer::LogLineKind::AppFile || split.kind == installer::LogLineKind::SysFile) {
      files.push_back(ToHostPath(split.first + "\\" + split.second));
    }
  }
  return files;
}

double OneHiveWrite() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  constexpr int kWrites = 20;
  const double seconds = bench::Seconds([&] {
    for (DWORD i = 0; i < kWrites; ++i) RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4);
  });
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Bench");
  return seconds / kWrites;
}

}  // namespace

int main() {
  std::string pattern = (fs::temp_directory_path() / "carvox-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path scratch = pattern;
  setenv("CARVOX_MACHINE", (scratch / "machine").c_str(), 1);
  // Without a display the uninstaller shows no splash and no boxes waiting for answers.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const std::set<std::string> before = ExportLines();
  const std::string quiet = " </dev/null >/dev/null 2>&1";
  int status = 0;
  const double install = bench::Seconds([&] { status |= std::system((std::string(SETUP_PROGRAM) + " --unattended" + quiet).c_str()); });
  size_t hiveWrites = 0;
  for (const std::string& line : ExportLines()) hiveWrites += before.count(line) == 0;
  const std::vector<fs::path> files = InstalledFiles();
  fs::create_directories(scratch / "copy");
  const double copy = bench::Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i) fs::copy_file(files[i], scratch / "copy" / std::to_string(i));
  });
  const double hiveWrite = OneHiveWrite();
  const double uninstall = bench::Seconds([&] { status |= std::system((std::string(MACHINE_PROGRAM) + " uninstall Carvox" + quiet).c_str()); });
  std::printf("install: %.3f s (%zu files, %zu hive writes); uninstall: %.3f s\n", install, files.size(), hiveWrites,
              uninstall);
  std::printf("install / (copy %.3f s + %zu x hive write %.1f ms) = %.2f (target <= 1.5)\n", copy, hiveWrites,
              hiveWrite * 1000, install / (copy + hiveWrites * hiveWrite));
  fs::remove_all(scratch);
  return status == 0 ? 0 : 1;
}
