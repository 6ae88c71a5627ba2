// Runs this thread's window messages while a test waits for what they do.
// Header only: test_support does not link the platform layer, the tests that
// include this do.
#pragma once

#include <platform/Kernel.h>
#include <platform/User.h>

#include <functional>

// Dispatches messages until done() holds (true) or ms pass (false).
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 4000) {
  const DWORD start = GetTickCount();
  MSG msg{};
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (done()) return true;
    if (GetTickCount() - start > ms) return false;
    Sleep(5);
  }
}
