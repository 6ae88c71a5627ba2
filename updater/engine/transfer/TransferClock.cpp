#include "TransferClock.h"

#include <platform/Kernel.h>

#include <atomic>

static std::atomic<DWORD (*)()> g_tickSource{nullptr};

DWORD TransferTick() {
  DWORD (*source)() = g_tickSource.load();
  return source ? source() : GetTickCount();
}

void SetTransferTickForTests(DWORD (*source)()) { g_tickSource.store(source); }
