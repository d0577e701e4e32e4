#pragma once
// What the benchmarks print: wall-clock seconds of a piece of work and the peak
// resident memory of the process.

#include <sys/resource.h>

#include <chrono>

namespace bench {

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

}  // namespace bench
