#pragma once
// A failed read of a block device (a drive through the ASPI layer, or a disc image):
// code 1 the device layer is missing, code 2 a command (or an image read) failed;
// `status` is the device's request status byte.

#include <cstdint>

#include "common/CodedError.h"

struct CDReaderException : CodedError {
  static constexpr int32_t kLayerMissing = 1;
  static constexpr int32_t kCommandFailed = 2;

  CDReaderException(int32_t code, int32_t status) noexcept
      : CodedError(code, code == kLayerMissing ? "the CD-ROM layer is not there" : "the disc could not be read"),
        status(status) {}

  int32_t status;
};
