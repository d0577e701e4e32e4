#pragma once
#include <cstdint>

// Failures of the AKAI reader: 2 corrupt data (a name that does not convert, a header
// that cannot be decoded), 3 the named program or sample is not in the directory,
// 6 a loop table that contradicts itself.
struct AKAIException {
  int32_t code;
};
