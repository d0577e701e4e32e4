#include "export/StereoPairs.h"

#include <algorithm>
#include <map>
#include <optional>

#include "export/ExportBatch.h"

namespace {

// The pair name of a "-L" or "-R" sample, and which half it is.
struct Half {
  std::string name;
  bool left = false;
};

std::optional<Half> HalfOf(const ExportItem& item) {
  const std::string& name = item.name;
  if (item.program || name.size() < 3 || name[name.size() - 2] != '-') return std::nullopt;
  const char side = name.back();
  if (side != 'L' && side != 'R') return std::nullopt;
  const size_t end = name.find_last_not_of(' ', name.size() - 3);
  if (end == std::string::npos) return std::nullopt;
  return Half{name.substr(0, end + 1), side == 'L'};
}

}  // namespace

std::vector<StereoPair> FindStereoPairs(const std::vector<ExportItem>& items) {
  std::map<std::string, StereoPair> open;  // by pair name; the halves found so far
  std::map<std::string, int> halves;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::optional<Half> half = HalfOf(items[i]);
    if (!half) continue;
    StereoPair& pair = open[half->name];
    pair.name = half->name;
    (half->left ? pair.left : pair.right) = i + 1;  // 0 stands for "not found" until the end
    ++halves[half->name];
  }
  std::vector<StereoPair> pairs;
  for (auto& [name, pair] : open) {
    const bool clash = std::any_of(items.begin(), items.end(),
                                   [&](const ExportItem& item) { return !item.program && item.name == name; });
    if (halves[name] != 2 || pair.left == 0 || pair.right == 0 || clash) continue;
    pairs.push_back({pair.left - 1, pair.right - 1, name});
  }
  std::sort(pairs.begin(), pairs.end(),
            [](const StereoPair& a, const StereoPair& b) { return std::min(a.left, a.right) < std::min(b.left, b.right); });
  return pairs;
}
