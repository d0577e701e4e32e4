#pragma once
// Building and reading RIFF files byte by byte, for tests of the code that writes
// and reads them.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace rifftest {

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline uint32_t WordAt(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

inline std::string Word32(uint32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

inline std::string Word16(uint16_t value) {
  std::string bytes(2, '\0');
  std::memcpy(bytes.data(), &value, 2);
  return bytes;
}

// A chunk with its header and, after an odd body, the pad byte.
inline std::string Chunk(const std::string& id, const std::string& body) {
  std::string bytes = id + Word32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() % 2 != 0) bytes += '\0';
  return bytes;
}

}  // namespace rifftest
