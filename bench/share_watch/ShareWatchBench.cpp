// The share watcher runs one step five times a second for as long as an
// application is shared: what one step costs with many windows of the
// watched process, beside the bare walk over the same windows' pids.
#include <QApplication>

#include <platform/User.h>

#include <chrono>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "ShareManager.h"
#include "TopWindows.h"
#include "XWindows.h"

namespace {

constexpr int kPid = 515151;
constexpr int kRuns = 60;

// The floor: every visible top-level window's process id, nothing else.
int WalkPids() {
  const WindowWalk walk;
  std::list<HWND> windows;
  EnumTopWindows(windows);
  int ours = 0;
  for (HWND window : windows) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == static_cast<DWORD>(kPid)) ++ours;
  }
  return ours;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::printf("%-8s %12s %12s %12s %12s\n", "windows", "step p50", "step p95", "walk p50", "walk p95");
  for (int count : {10, 50, 200}) {
    XWindows windows;
    if (!windows.started()) {
      std::fprintf(stderr, "window helper did not start\n");
      return 1;
    }
    for (int i = 0; i < count; ++i) {
      const int x = (i % 20) * 60, y = (i / 20) * 60;
      if (windows.Open("w" + std::to_string(i), x + 4, y + 4, 50, 50, 0x204060, "pid=" + std::to_string(kPid)) == 0) {
        std::fprintf(stderr, "could not open window %d\n", i);
        return 1;
      }
    }
    ShareManager manager;
    manager.setIntervalForTest(1000000);  // steps are run here, not by the timer
    manager.monitorProcess(kPid);
    manager.slot_MonitorShare();  // the first step makes the rings
    app.processEvents();
    if (manager.indicators().size() != static_cast<size_t>(count)) {
      std::fprintf(stderr, "%zu rings for %d windows\n", manager.indicators().size(), count);
    }
    std::vector<double> step, walk;
    for (int run = 0; run < kRuns; ++run) {
      auto start = std::chrono::steady_clock::now();
      manager.slot_MonitorShare();
      step.push_back(MsSince(start));
      app.processEvents();
      start = std::chrono::steady_clock::now();
      if (WalkPids() != count) std::fprintf(stderr, "walk missed windows\n");
      walk.push_back(MsSince(start));
    }
    const BenchStats s = Summarise(step), w = Summarise(walk);
    std::printf("%-8d %9.2f ms %9.2f ms %9.2f ms %9.2f ms\n", count, s.p50, s.p95, w.p50, w.p95);
    manager.stopMonitor();
    app.processEvents();
  }
  return 0;
}
