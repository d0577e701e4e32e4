#pragma once
// Each machine test runs on a machine of its own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/Machine.h"
#include "tests/support/TestPaths.h"

class FreshMachine : public testing::Test {
 protected:
  void SetUp() override {
    root_ = testsupport::FreshFolder("machine");
    setenv("CARVOX_MACHINE", root_.c_str(), 1);
  }
  std::filesystem::path DriveC() const { return platform::MachineRoot() / "drive_c"; }
  static void WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path root_;
};
