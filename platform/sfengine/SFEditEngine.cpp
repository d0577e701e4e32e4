// The shared library's one export: "SFEditEngine", a data export that holds the
// engine's entry function. Everything else in the library is hidden.

#include "platform/sfengine/internal/EditEngine.h"

extern "C" __attribute__((visibility("default"))) const SFEditEngineEntry SFEditEngine =
    &sfengine::GetEngineTable;
