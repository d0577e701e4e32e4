#include "tools/cli/internal/TypedNames.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "tools/cli/DiscAccess.h"

namespace cli {
namespace {

// Upper case, runs of blanks as one blank, no blanks at either end.
std::string Loose(const std::string& name) {
  std::string loose;
  for (const char c : name) {
    if (c == ' ' && (loose.empty() || loose.back() == ' ')) continue;
    loose += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!loose.empty() && loose.back() == ' ') loose.pop_back();
  return loose;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Quoted(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "\"" : ", \"") + name + "\"";
  return text;
}

}  // namespace

std::optional<std::string> MatchTypedName(const std::vector<std::string>& listed, const std::string& typed,
                                          const std::string& what) {
  if (std::find(listed.begin(), listed.end(), typed) != listed.end()) return typed;
  std::vector<std::string> matches;
  for (const std::string& name : listed) {
    if (Loose(name) == Loose(typed) && std::find(matches.begin(), matches.end(), name) == matches.end()) {
      matches.push_back(name);
    }
  }
  if (matches.size() > 1) {
    throw CommandError("\"" + typed + "\" could be the " + what + " " + Quoted(matches) + ": give the name as listed");
  }
  return matches.empty() ? std::nullopt : std::optional<std::string>(matches.front());
}

std::string ClosestNames(const std::vector<std::string>& listed, const std::string& typed) {
  std::vector<std::pair<size_t, std::string>> ranked;
  std::set<std::string> seen;
  for (const std::string& name : listed) {
    if (seen.insert(name).second) ranked.push_back({EditDistance(Loose(name), Loose(typed)), name});
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> closest;
  for (size_t i = 0; i < ranked.size() && i < 3; ++i) closest.push_back(ranked[i].second);
  return Quoted(closest);
}

}  // namespace cli
