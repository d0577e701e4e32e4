#pragma once
// The signature every AKAI S1000/S3000 disc carries in its first sector: 64
// little-endian 16-bit words at bytes 8..135, word k = (9999 + 3333 k) mod 65536.

#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kAkaiSignatureOffset = 8;
constexpr size_t kAkaiSignatureLength = 128;
// Discs with a few damaged bytes are still taken as AKAI discs.
constexpr int kAkaiSignatureTolerance = 4;

// The 128 signature bytes as they stand on disc (low byte of each word first).
std::array<uint8_t, kAkaiSignatureLength> AkaiSignatureBytes();

// True when at most 4 of the bytes 8..135 of `sector` differ from the signature.
// `size` is the number of bytes available at `sector`; fewer than 136 never match.
bool HasAkaiSignature(const uint8_t* sector, size_t size);
