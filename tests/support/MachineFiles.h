#pragma once
// Files of the machine by Windows path, written and read as bytes. Header-only: tests
// that use it link the machine (carvox_machine) themselves.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/machine/Machine.h"

namespace testsupport {

// Creates the folders on the way.
inline void WriteMachineFile(const std::string& windowsPath, const std::string& bytes) {
  std::filesystem::create_directories(platform::ToHostPath(windowsPath).parent_path());
  std::ofstream(platform::ToHostPath(windowsPath), std::ios::binary) << bytes;
}

// The file's bytes, or "(missing)".
inline std::string ReadMachineFile(const std::string& windowsPath) {
  std::ifstream in(platform::ToHostPath(windowsPath), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return in ? bytes.str() : "(missing)";
}

}  // namespace testsupport
