// A tiny run-time library for the loader tests. It has a function export, a data
// export that holds an entry function (the shape of the SoundFont engine's export),
// the variant it was built as (so a test can tell which copy was loaded), and calls
// into its own copy of the sync code on the program's handles.
#include <cstdint>

#include "platform/sync/Sync.h"

namespace {

int Entry(uint32_t version, int* variant) {
  if (version != 1) return 1;
  *variant = LOADER_FIXTURE_VARIANT;
  return 0;
}

}  // namespace

extern "C" {

int FixtureAdd(int a, int b) { return a + b; }

using FixtureEntryFunction = int (*)(uint32_t version, int* variant);
FixtureEntryFunction FixtureEntry = &Entry;

int FixtureVariant = LOADER_FIXTURE_VARIANT;

int FixtureSetEvent(platform::HANDLE event) { return platform::SetEvent(event); }

// A thread made by the library's code, ending once `go` is set.
platform::HANDLE FixtureStartThread(platform::HANDLE go) {
  return platform::CreateThread([go] { platform::WaitForSingleObject(go, platform::INFINITE); });
}

}  // extern "C"
