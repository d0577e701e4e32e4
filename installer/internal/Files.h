#pragma once
// File helpers of the installer's own files.

#include <cstddef>
#include <string>

namespace installer {

// Writes the whole file or nothing: a short write or a failed close removes what was
// written, so that no truncated copy (which would lack its version record) is used.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace installer
