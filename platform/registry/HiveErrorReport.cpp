#include "platform/prompt/Prompt.h"
#include "platform/registry/Registry.h"

namespace platform {

int RunReportingHiveErrors(const std::function<int()>& work, const std::string& caption) {
  try {
    return work();
  } catch (const HiveError& error) {
    MessageBox(std::string("The machine's registry cannot be used:\n") + error.what(), MB_OK | MB_ICONSTOP,
               caption);
    return 1;
  }
}

}  // namespace platform
