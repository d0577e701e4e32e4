#pragma once
// Names as people type them: a volume, program or sample name given on the command line
// is matched against the names the disc lists, exactly first, then loosely.

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The listed name that `typed` stands for: `typed` itself when it is listed; else the
// one listed name equal to it when case, trailing blanks and the length of runs of
// blanks are ignored ("pad1 -l" for "PAD1      -L"). Nothing when no name matches.
// Throws CommandError naming them when several different names match; `what` names
// the kind of name in that message ("volume", "program or sample").
std::optional<std::string> MatchTypedName(const std::vector<std::string>& listed, const std::string& typed,
                                          const std::string& what);

// The listed names closest to `typed` (at most three, by edit distance on the loose
// forms), as "\"A\", \"B\""; empty when nothing is listed.
std::string ClosestNames(const std::vector<std::string>& listed, const std::string& typed);

}  // namespace cli
