// An engine library whose entry refuses every interface version.
#include "platform/sfengine/EngineApi.h"

namespace {
int RefuseEveryVersion(uint32_t, EngineApi**) { return 1; }
}  // namespace

extern "C" __attribute__((visibility("default"))) const SFEditEngineEntry SFEditEngine =
    &RefuseEveryVersion;
