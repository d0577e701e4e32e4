#pragma once
// Registry tests run on a machine of their own, with small helpers for values.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "tests/support/TestPaths.h"

class FreshRegistry : public testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path root = testsupport::FreshFolder("machine");
    setenv("CARVOX_MACHINE", root.c_str(), 1);
  }

  static platform::HKEY Create(const char* subKey, platform::DWORD* disposition = nullptr) {
    platform::HKEY key = nullptr;
    EXPECT_EQ(platform::RegCreateKeyExA(platform::HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0,
                                        platform::KEY_ALL_ACCESS, nullptr, &key, disposition),
              platform::ERROR_SUCCESS);
    return key;
  }
  static platform::LONG SetText(platform::HKEY key, const char* name, const std::string& text) {
    return platform::RegSetValueExA(key, name, 0, platform::REG_SZ,
                                    reinterpret_cast<const platform::BYTE*>(text.c_str()),
                                    static_cast<platform::DWORD>(text.size() + 1));
  }
  static platform::LONG SetDword(platform::HKEY key, const char* name, platform::DWORD value) {
    return platform::RegSetValueExA(key, name, 0, platform::REG_DWORD,
                                    reinterpret_cast<const platform::BYTE*>(&value), sizeof value);
  }
  // The value's text, or "<error N>".
  static std::string GetText(platform::HKEY key, const char* name) {
    char buffer[1024];
    platform::DWORD size = sizeof buffer;
    const platform::LONG result =
        platform::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<platform::BYTE*>(buffer), &size);
    if (result != platform::ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
    return std::string(buffer, size ? size - 1 : 0);
  }
  static void WriteHive(const std::string& text) {
    std::ofstream(platform::HiveFilePath(), std::ios::binary | std::ios::trunc) << text;
  }
  static std::string ReadHive() {
    std::ifstream in(platform::HiveFilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};
