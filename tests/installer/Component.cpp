// A self-registering component for the tests: registration and unregistration leave a
// mark in the registry (HKLM\Software\Carvox\Tests\Component, value "registered"), and
// DllRegisterServer returns COMPONENT_RESULT.
#include "platform/registry/Registry.h"

namespace {

long Mark(platform::DWORD registered) {
  platform::HKEY key = nullptr;
  if (platform::RegCreateKeyExA(platform::HKEY_LOCAL_MACHINE, "Software\\Carvox\\Tests\\Component", 0, nullptr, 0,
                                platform::KEY_ALL_ACCESS, nullptr, &key, nullptr) != platform::ERROR_SUCCESS) {
    return -1;
  }
  platform::RegSetValueExA(key, "registered", 0, platform::REG_DWORD,
                           reinterpret_cast<const platform::BYTE*>(&registered), sizeof registered);
  platform::RegCloseKey(key);
  return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) long DllRegisterServer() {
  Mark(1);
  return COMPONENT_RESULT;
}

extern "C" __attribute__((visibility("default"))) long DllUnregisterServer() { return Mark(0); }
