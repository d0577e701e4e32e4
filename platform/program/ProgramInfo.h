#pragma once
// What every Carvox program says about itself: its version, and its answers to
// `--help` and `--version`.

#include <optional>
#include <ostream>
#include <string_view>

namespace platform {

// Carvox's version ("1.1.0"), set once in the build; the package, the version records of
// the built files and the About box show the same number.
extern const char* const kCarvoxVersion;

// Answers `PROGRAM --help` (also `-h`) with `help` and `PROGRAM --version` with
// "PROGRAM VERSION", both on `out` with status 0, when that option is the only argument.
// Programs call this before anything else, so that neither answer opens a window or
// touches the machine. nullopt for any other command line.
std::optional<int> AnswerInfoOption(int argc, const char* const* argv, std::string_view program,
                                    std::string_view help, std::ostream& out);

}  // namespace platform
