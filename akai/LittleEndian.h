#pragma once
// AKAI structures are little-endian whatever the host: values are read byte by byte.

#include <cstdint>

inline uint16_t ReadU16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline uint32_t ReadU24(const uint8_t* bytes) {
  return bytes[0] | (bytes[1] << 8) | (uint32_t{bytes[2]} << 16);
}

inline uint32_t ReadU32(const uint8_t* bytes) {
  return ReadU24(bytes) | (uint32_t{bytes[3]} << 24);
}
