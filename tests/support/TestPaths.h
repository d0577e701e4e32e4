#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>

namespace testsupport {

// The temporary folder of this test program (HOME, XDG folders and the machine live
// below it); removed when the program ends.
const std::filesystem::path& SandboxRoot();

// Points HOME, the XDG folders, TMPDIR and CARVOX_MACHINE into the sandbox; a test
// main calls it before any test runs, and LeaveSandbox (which removes the folder unless
// CARVOX_KEEP_TEST_FILES is set) after the last.
void EnterSandbox();
void LeaveSandbox();

// A new, empty folder below the sandbox for one test.
std::filesystem::path FreshFolder(const std::string& name);

// A file or folder of the reference data made outside the project (tests/data, see
// tests/data/akai/README.md), e.g. ReferenceData("akai/holes.img"). Throws, naming the
// path, when it is missing, so that the test fails saying what is not there.
inline std::filesystem::path ReferenceData(const std::filesystem::path& relative) {
  const std::filesystem::path path = std::filesystem::path(CARVOX_TESTDATA_DIR) / relative;
  if (!std::filesystem::exists(path)) throw std::runtime_error("reference data missing: " + path.string());
  return path;
}

}  // namespace testsupport
