// The shared library's two exports. Everything else in the library is hidden; the layer
// is one object that lives from load to unload (its destructor joins the worker).

#include "platform/aspi/AspiLayer.h"

namespace {
aspi::Layer layer;
}  // namespace

extern "C" __attribute__((visibility("default"))) aspi::DWORD GetASPI32SupportInfo() {
  try {
    return layer.SupportInfo();
  } catch (...) {
    return aspi::DWORD{aspi::SS_ERR} << 8;
  }
}

extern "C" __attribute__((visibility("default"))) aspi::DWORD SendASPI32Command(void* srb) {
  try {
    return layer.Send(srb);
  } catch (...) {
    return aspi::SS_ERR;
  }
}
