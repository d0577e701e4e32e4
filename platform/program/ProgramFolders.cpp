#include "platform/program/ProgramFolders.h"

#include <system_error>

namespace platform {
namespace fs = std::filesystem;

fs::path ProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : program.parent_path();
}

std::vector<fs::path> ProgramLibraryFolders() {
  const fs::path program = ProgramFolder();
  if (program.empty()) return {};
  return {program, (program / CARVOX_LIBRARY_FOLDER).lexically_normal()};
}

fs::path ProgramDataFile(const fs::path& name) {
  const fs::path program = ProgramFolder();
  const fs::path beside = program / name;
  std::error_code error;
  if (program.empty() || fs::exists(beside, error)) return beside;
  const fs::path installed = (program / CARVOX_DATA_FOLDER / name).lexically_normal();
  return fs::exists(installed, error) ? installed : beside;
}

}  // namespace platform
