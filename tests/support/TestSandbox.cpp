#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tests/support/TestPaths.h"

namespace fs = std::filesystem;

namespace {

fs::path MakeSandbox() {
  std::string pattern = (fs::temp_directory_path() / "carvox-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a test folder");
  return pattern;
}

void Point(const char* variable, const fs::path& folder) {
  fs::create_directories(folder);
  setenv(variable, folder.c_str(), 1);
}

}  // namespace

namespace testsupport {

const fs::path& SandboxRoot() {
  static const fs::path root = MakeSandbox();
  return root;
}

fs::path FreshFolder(const std::string& name) {
  static int counter = 0;
  fs::path folder = SandboxRoot() / "work" / (name + "-" + std::to_string(++counter));
  fs::create_directories(folder);
  return folder;
}

void EnterSandbox() {
  const fs::path root = SandboxRoot();
  Point("HOME", root / "home");
  Point("XDG_DATA_HOME", root / "home/.local/share");
  Point("XDG_CONFIG_HOME", root / "home/.config");
  Point("XDG_CACHE_HOME", root / "home/.cache");
  Point("XDG_RUNTIME_DIR", root / "run");
  Point("CARVOX_MACHINE", root / "machine");
  Point("TMPDIR", root / "tmp");
  // No test plays on the sound cards of the machine it runs on.
  setenv("CARVOX_SOUND", "silent", 1);
}

void LeaveSandbox() {
  std::error_code ignored;
  if (getenv("CARVOX_KEEP_TEST_FILES") == nullptr) fs::remove_all(SandboxRoot(), ignored);
}

}  // namespace testsupport
