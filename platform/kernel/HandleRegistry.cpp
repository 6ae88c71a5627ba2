#include "HandleRegistry.h"

#include <atomic>

uintptr_t NextHandleValue() {
  static std::atomic<uintptr_t> lastSerial{0};
  return (lastSerial.fetch_add(1, std::memory_order_relaxed) + 1) << 4;
}
