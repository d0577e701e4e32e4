#pragma once
// What the fuzz targets share: a scratch folder for inputs that must be files, and a
// prompt that answers every message at once.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace fuzzsupport {

// A folder of this process, made once and removed at exit.
const std::filesystem::path& ScratchFolder();

// Writes `bytes` to `name` in the scratch folder and returns its path.
std::filesystem::path WriteScratch(const char* name, const uint8_t* bytes, size_t size);

// Installs a prompt that shows nothing and answers OK (once per process).
void SilencePrompts();

}  // namespace fuzzsupport
