#include "BenchStats.h"

#include <algorithm>

BenchStats Summarise(std::vector<double> ms) {
  BenchStats s;
  if (ms.empty()) return s;
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<size_t>(q * ms.size()))]; };
  s.p50 = at(0.50);
  s.p95 = at(0.95);
  for (double v : ms) s.mean += v;
  s.mean /= ms.size();
  return s;
}
