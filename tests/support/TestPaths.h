#pragma once
#include <filesystem>
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

// The reference disc images made outside the project.
inline std::filesystem::path TestDataDir() { return CARVOX_TESTDATA_DIR; }

}  // namespace testsupport
