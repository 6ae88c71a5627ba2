// Percentiles of measured times, shared by the benchmarks.
#pragma once

#include <chrono>
#include <vector>

struct BenchStats {
  double p50 = 0;
  double p95 = 0;
  double mean = 0;
  bool meanOnly = false;  // a whole-run figure: no distribution is known
};

// Nearest-rank percentiles; all zero for no samples.
BenchStats Summarise(std::vector<double> ms);

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
