#pragma once
#include <cstdint>

#include "common/CodedError.h"

// Failures of the AKAI reader: 2 corrupt data (a name that does not convert, a header
// that cannot be decoded), 3 the named program or sample is not in the directory,
// 6 a loop table that contradicts itself.
struct AKAIException : CodedError {
  static constexpr int32_t kCorruptData = 2;
  static constexpr int32_t kNameNotFound = 3;
  static constexpr int32_t kContradictoryLoops = 6;

  explicit AKAIException(int32_t code) noexcept : CodedError(code, Reason(code)) {}

 private:
  static const char* Reason(int32_t code) noexcept {
    switch (code) {
      case kCorruptData: return "the disc holds corrupt data";
      case kNameNotFound: return "the program or sample is not in the volume's directory";
      case kContradictoryLoops: return "the sample's loop table contradicts itself";
      default: return "the AKAI data cannot be read";
    }
  }
};
