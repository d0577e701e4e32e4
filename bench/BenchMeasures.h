#pragma once
// What the benchmarks print: wall-clock seconds of a piece of work, the best of several
// runs taken side by side, and the peak resident memory of the process.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace bench {

// Each side of a comparison runs this many times, in turn with the other sides in the
// same run, and its best time counts: on a shared machine the best run is the one the
// rest of the load disturbed least, and the sides see the same machine.
inline constexpr int kRuns = 5;

inline double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

template <typename F>
double Seconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best figure of each side over kRuns rounds, where each side measures its own
// seconds (a side that times only part of what it does); `prepare(side)` runs before
// every run of a side (removing what its last run wrote, say).
inline std::vector<double> BestOfMeasured(const std::vector<std::function<double()>>& sides,
                                          const std::function<void(std::size_t)>& prepare = [](std::size_t) {}) {
  std::vector<double> best(sides.size(), 1e9);
  for (int run = 0; run < kRuns; ++run) {
    for (std::size_t side = 0; side < sides.size(); ++side) {
      prepare(side);
      best[side] = std::min(best[side], sides[side]());
    }
  }
  return best;
}

// The best time of each side over kRuns rounds, each run timed whole.
inline std::vector<double> BestOfEach(const std::vector<std::function<void()>>& sides,
                                      const std::function<void(std::size_t)>& prepare = [](std::size_t) {}) {
  std::vector<std::function<double()>> timed;
  for (const std::function<void()>& side : sides) timed.push_back([&side] { return Seconds(side); });
  return BestOfMeasured(timed, prepare);
}

}  // namespace bench
