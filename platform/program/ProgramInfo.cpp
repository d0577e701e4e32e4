#include "platform/program/ProgramInfo.h"

#include <string_view>

namespace platform {

const char* const kCarvoxVersion = CARVOX_VERSION;

std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::string_view program,
                                    std::string_view help, std::ostream& out) {
  if (argc != 2) return std::nullopt;
  const std::string_view option = argv[1];
  if (option == "--help" || option == "-h") {
    out << help;
    return 0;
  }
  if (option == "--version") {
    out << program << " " << kCarvoxVersion << "\n";
    return 0;
  }
  return std::nullopt;
}

}  // namespace platform
