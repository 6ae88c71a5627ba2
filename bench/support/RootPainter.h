// Paints whole pictures onto the X root window, for benchmarks that need the
// screen to change under the capture.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct _XDisplay;

class BenchRootPainter {
 public:
  BenchRootPainter();
  ~BenchRootPainter();
  BenchRootPainter(const BenchRootPainter&) = delete;
  BenchRootPainter& operator=(const BenchRootPainter&) = delete;

  // True when the display is open and its root is width x height at depth 24.
  bool Fits(int width, int height) const;
  // bgra holds width x height 32-bit pixels; returns once the server drew them.
  void Paint(const std::vector<uint8_t>& bgra, int width, int height);

 private:
  _XDisplay* display_;
};

// Runs the event loop until done() or the deadline; false on the deadline.
// It spins rather than sleeps, so that measured latencies carry no sleep slice.
bool SpinEventsUntil(const std::function<bool()>& done, int timeoutMs);
