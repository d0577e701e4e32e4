#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cstdint>
#include <optional>

#include "platform/mmio/FileCopy.h"
#include "platform/resources/Resources.h"

namespace platform {
namespace {

struct Search {
  uintptr_t begin;
  uintptr_t end;
  std::optional<uint64_t> offset;
};

// Looks through the program's own loaded segments (the first object listed) for the
// bytes, which must lie wholly in the part of a segment that the file holds.
int FindInProgram(dl_phdr_info* info, size_t /*size*/, void* context) {
  auto& search = *static_cast<Search*>(context);
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (search.begin >= start && search.end <= start + segment.p_filesz) {
      search.offset = segment.p_offset + (search.begin - start);
    }
  }
  return 1;  // the program only, never its libraries
}

}  // namespace

bool CopyFromProgramFile(const void* data, size_t size, int to) {
  const auto begin = reinterpret_cast<uintptr_t>(data);
  Search search{begin, begin + size, std::nullopt};
  dl_iterate_phdr(FindInProgram, &search);
  if (!search.offset) return false;
  const int program = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (program < 0) return false;
  const bool copied = CopyFileBytes(program, *search.offset, to, 0, size);
  ::close(program);
  return copied;
}

}  // namespace platform
