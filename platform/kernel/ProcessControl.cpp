// Process-wide settings and queries of the Windows design that have nothing
// to act on here.
#include <platform/Threads.h>

#include <platform/Kernel.h>

#include <atomic>
#include <cstdio>

#include "ProcessObject.h"

namespace {
std::atomic<UINT> g_errorMode{0};
}

UINT SetErrorMode(UINT mode) { return g_errorMode.exchange(mode); }

DWORD WaitForInputIdle(HANDLE process, DWORD) {
  if (!LookupObjectAs<ProcessObject>(process)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return 0;
}

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::fputs(text, stderr);
}
