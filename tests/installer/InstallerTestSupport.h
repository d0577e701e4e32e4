#pragma once
// Installer and uninstaller tests run on a machine of their own with an empty log.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "installer/InstallLog.h"
#include "installer/SharedCount.h"
#include "installer/internal/Steps.h"
#include "platform/machine/Machine.h"
#include "platform/registry/SystemInfo.h"
#include "platform/resources/Resources.h"
#include "tests/support/MachineFiles.h"
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

  static void Write(const std::string& path, const std::string& bytes) { testsupport::WriteMachineFile(path, bytes); }
  static std::string Read(const std::string& path) { return testsupport::ReadMachineFile(path); }
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
  static void PlayWindows98() {
    platform::HKEY key = nullptr;
    platform::RegCreateKeyExA(platform::HKEY_LOCAL_MACHINE, platform::kVersionKey, 0, nullptr, 0,
                              platform::KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const platform::DWORD windows = platform::VER_PLATFORM_WIN32_WINDOWS;
    platform::RegSetValueExA(key, "PlatformId", 0, platform::REG_DWORD,
                             reinterpret_cast<const platform::BYTE*>(&windows), 4);
    platform::RegCloseKey(key);
  }
  // The files and folders of drive C:, relative to it.
  static std::set<std::string> MachineFiles() {
    std::set<std::string> files;
    const std::filesystem::path drive = platform::MachineRoot() / "drive_c";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(drive)) {
      files.insert(std::filesystem::relative(entry.path(), drive));
    }
    return files;
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
