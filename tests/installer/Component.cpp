// A self-registering component for the tests: registering creates the key
// HKLM\Software\Carvox\Tests\Component, unregistering deletes it; DllRegisterServer
// returns COMPONENT_RESULT.
#include "platform/registry/Registry.h"

using namespace platform;

extern "C" __attribute__((visibility("default"))) long DllRegisterServer() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Carvox\\Tests\\Component", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  RegCloseKey(key);
  return COMPONENT_RESULT;
}

extern "C" __attribute__((visibility("default"))) long DllUnregisterServer() {
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Carvox\\Tests\\Component");
}
