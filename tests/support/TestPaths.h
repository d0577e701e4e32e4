#pragma once
#include <filesystem>
#include <string>

namespace testsupport {

// The temporary folder of this test program (HOME, XDG folders and the machine live
// below it); removed when the program ends.
const std::filesystem::path& SandboxRoot();

// A new, empty folder below the sandbox for one test.
std::filesystem::path FreshFolder(const std::string& name);

// The reference disc images made outside the project.
inline std::filesystem::path TestDataDir() { return CARVOX_TESTDATA_DIR; }

}  // namespace testsupport
