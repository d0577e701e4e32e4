#include "tests/fuzz/FuzzSupport.h"

#include <stdlib.h>

#include <fstream>
#include <string>

#include "platform/prompt/Prompt.h"

namespace fuzzsupport {
namespace {

class ScratchGuard {
 public:
  ScratchGuard() {
    std::string pattern = (std::filesystem::temp_directory_path() / "carvox-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    path_ = pattern;
  }
  ~ScratchGuard() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class SilentPrompt : public platform::Prompt {
 public:
  int Show(const std::string&, const std::string&, unsigned) override { return platform::IDOK; }
};

}  // namespace

const std::filesystem::path& ScratchFolder() {
  static const ScratchGuard folder;
  return folder.path();
}

std::filesystem::path WriteScratch(const char* name, const uint8_t* bytes, size_t size) {
  const std::filesystem::path path = ScratchFolder() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return path;
}

void SilencePrompts() {
  static SilentPrompt prompt;
  static const bool installed = (platform::InstallPrompt(&prompt), true);
  (void)installed;
}

}  // namespace fuzzsupport
