#pragma once
#include <cstdint>

// Failures of the AKAI reader: 2 corrupt data (a name that does not convert, a header
// that cannot be decoded), 3 the named program or sample is not in the directory,
// 6 a loop table that contradicts itself.
struct AKAIException {
  static constexpr int32_t kCorruptData = 2;
  static constexpr int32_t kNameNotFound = 3;
  static constexpr int32_t kContradictoryLoops = 6;

  int32_t code;
};
