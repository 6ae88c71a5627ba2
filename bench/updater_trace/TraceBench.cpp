// Times single TraceInf calls from 8 threads into a temporary log, in bursts
// the writer can keep up with (the queue drops lines beyond 2000), and prints
// p50/p95 per call with the number of lines that reached the file.
#include <platform/Kernel.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchStats.h"
#include "Trace.h"
#include "TraceManager.h"

namespace fs = std::filesystem;

static size_t CountLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

int main(int argc, char** argv) {
  const int threads = 8;
  const int calls = argc > 1 ? std::atoi(argv[1]) : 5000;
  const fs::path folder = fs::temp_directory_path() / ("trace-bench-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);
  STraceCfg cfg = {};
  std::snprintf(cfg.mainLogPath, sizeof cfg.mainLogPath, "%s", (folder / "AppLog.log").c_str());
  std::snprintf(cfg.errLogPath, sizeof cfg.errLogPath, "%s", (folder / "errlogs").c_str());
  cfg.mainLogMaxSize = 0x7FFFFFFF;
  cfg.errLogMaxSize = 20480;
  if (!StartTrace(&cfg)) {
    std::fprintf(stderr, "StartTrace failed\n");
    return 1;
  }
  std::vector<std::vector<double>> perThread(threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([t, calls, &perThread] {
      std::vector<double>& ms = perThread[t];
      ms.reserve(static_cast<size_t>(calls));
      for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        TraceInf("bench thread %d call %d: a line of typical length, %s", t, i, "with a text argument");
        ms.push_back(MsSince(start));
        // 8 threads x 5 lines per ms stays well below the 2000 the queue holds
        // between two writer passes.
        if (i % 5 == 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  StopTrace();
  std::vector<double> all;
  for (const auto& ms : perThread) all.insert(all.end(), ms.begin(), ms.end());
  const BenchStats stats = Summarise(all);
  const size_t written = CountLines(folder / "AppLog.log");
  std::printf("%-28s %10s %10s %10s %12s\n", "TraceInf, 8 threads", "p50 us", "p95 us", "mean us", "lines kept");
  std::printf("%-28s %10.2f %10.2f %10.2f %6zu/%-6zu\n", "one call", stats.p50 * 1000, stats.p95 * 1000,
              stats.mean * 1000, written, all.size());
  fs::remove_all(folder);
  return 0;
}
