#include <platform/Kernel.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "WorkerThreadObject.h"

void Sleep(DWORD milliseconds) {
  PauseIfSuspended();
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec left = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// Milliseconds of the monotonic clock, wrapping at 32 bits like the Windows
// tick count (every 49.7 days); callers compare differences, which survive it.
DWORD GetTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

// What newer Windows reports to a program without a compatibility manifest:
// 6.2 build 9200. Major version in the low byte, minor in the next, the build
// in the high word (bit 31 clear: an NT system).
DWORD GetVersion() {
  constexpr DWORD kMajor = 6, kMinor = 2, kBuild = 9200;
  return kMajor | (kMinor << 8) | (kBuild << 16);
}
