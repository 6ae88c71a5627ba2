#include "KernelObject.h"
#include "WorkerThreadObject.h"

#include "HandleRegistry.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

// The pseudo handle GetCurrentProcess returns, as on Windows.
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

HandleRegistry<KernelObject>& Objects() {
  static auto* registry = new HandleRegistry<KernelObject>;  // never destroyed: handles may be closed during exit
  return *registry;
}

}  // namespace

DWORD KernelObject::Wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

HANDLE RegisterObject(std::shared_ptr<KernelObject> object) { return Objects().Add(std::move(object)); }

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) { return Objects().Find(handle); }

HANDLE HandleFromFd(int fd) {
  return reinterpret_cast<HANDLE>((static_cast<intptr_t>(fd) << 1) | 1);
}

bool IsFdHandle(HANDLE handle) {
  const intptr_t value = reinterpret_cast<intptr_t>(handle);
  return handle != INVALID_HANDLE_VALUE && value > 0 && (value & 1) != 0;
}

int FdFromHandle(HANDLE handle) {
  return IsFdHandle(handle) ? static_cast<int>(reinterpret_cast<intptr_t>(handle) >> 1) : -1;
}

BOOL CloseHandle(HANDLE handle) {
  if (IsFdHandle(handle)) {
    if (close(FdFromHandle(handle)) != 0 && errno != EINTR) {
      SetLastError(Win32ErrorFromErrno(errno));
      return FALSE;
    }
    return TRUE;
  }
  std::shared_ptr<KernelObject> object = Objects().Remove(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The object dies here, outside the lock, unless a waiter still holds it.
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<KernelObject> object = LookupObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  PauseIfSuspended();
  return object->Wait(milliseconds);
}

bool PollUntil(DWORD milliseconds, bool (*ready)(void* context, int sliceMs), void* context) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (;;) {
    int slice = 10;
    if (milliseconds != INFINITE) {
      const auto elapsed =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (elapsed >= static_cast<long long>(milliseconds)) return ready(context, 0);
      slice = static_cast<int>(std::min<long long>(slice, milliseconds - elapsed));
    }
    if (ready(context, slice)) return true;
  }
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
