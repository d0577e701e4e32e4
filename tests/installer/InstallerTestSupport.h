#pragma once
// Installer and uninstaller tests run on a machine of their own with an empty log.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "installer/InstallLog.h"
#include "installer/Installer.h"
#include "installer/SharedCount.h"
#include "platform/machine/Machine.h"
#include "platform/resources/Resources.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestPaths.h"

class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("CARVOX_MACHINE", testsupport::FreshFolder("machine").c_str(), 1);
    installer::TheInstallLog().Clear();
  }
  void TearDown() override {
    installer::TheInstallLog().Clear();
    platform::InstallResources(nullptr);
  }

  static void Write(const std::string& windowsPath, const std::string& bytes) {
    std::filesystem::create_directories(platform::ToHostPath(windowsPath).parent_path());
    std::ofstream(platform::ToHostPath(windowsPath), std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& windowsPath) {
    std::ifstream in(platform::ToHostPath(windowsPath), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return in ? text.str() : "(missing)";
  }
  static std::vector<std::string> Log() {
    std::vector<std::string> lines;
    for (int i = 0; i < installer::TheInstallLog().Count(); ++i) lines.push_back(installer::TheInstallLog().Line(i));
    return lines;
  }
  static platform::HKEY SharedDlls() {
    platform::HKEY key = nullptr;
    platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, installer::kSharedDllsKey, 0, platform::KEY_ALL_ACCESS, &key);
    return key;
  }
  static std::optional<platform::DWORD> SharedCount(const std::string& path) {
    platform::HKEY key = SharedDlls();
    const std::optional<platform::DWORD> count = installer::ReadSharedCount(key, path);
    platform::RegCloseKey(key);
    return count;
  }
  static bool KeyExists(const std::string& subkey) {
    platform::HKEY key = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, subkey.c_str(), 0, platform::KEY_READ, &key) != 0) {
      return false;
    }
    platform::RegCloseKey(key);
    return true;
  }
};
