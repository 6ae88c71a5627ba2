#include <platform/Threads.h>
#include <platform/Log.h>

#include <platform/Kernel.h>
#include <platform/Log.h>

#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "KernelObject.h"
#include "WorkerThreadObject.h"

// Each object is looked up once: the references held here keep every object
// alive for the whole wait, whoever closes its handle meanwhile.
static bool LookupAll(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<KernelObject>>* objects) {
  objects->reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<KernelObject> object = LookupObject(handles[i]);
    if (!object) return false;
    objects->push_back(std::move(object));
  }
  return true;
}

// WAIT_TIMEOUT while none is signalled. Each object takes its own wait, so an
// auto-reset event or a mutex is taken only by the one whose index is returned.
static DWORD TakeFirstSignalled(const std::vector<std::shared_ptr<KernelObject>>& objects) {
  for (size_t i = 0; i < objects.size(); ++i) {
    const DWORD result = objects[i]->Wait(0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return result + static_cast<DWORD>(i);
    if (result == WAIT_FAILED) return WAIT_FAILED;
  }
  return WAIT_TIMEOUT;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  if (waitAll) {
    PlatformLog("WaitForMultipleObjects: waiting for all of %u objects is not supported", static_cast<unsigned>(count));
    SetLastError(ERROR_NOT_SUPPORTED);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<KernelObject>> objects;
  if (!LookupAll(count, handles, &objects)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  PauseIfSuspended();
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (;;) {
    const DWORD result = TakeFirstSignalled(objects);
    if (result != WAIT_TIMEOUT) return result;
    // The objects have no common thing to sleep on: sleep on the first one a
    // few milliseconds at a time, which bounds how late the others are seen.
    long long sliceMs = 5;
    if (milliseconds != INFINITE) {
      const long long spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (spent >= static_cast<long long>(milliseconds)) return WAIT_TIMEOUT;
      sliceMs = std::min(sliceMs, static_cast<long long>(milliseconds) - spent);
    }
    const DWORD first = objects[0]->Wait(static_cast<DWORD>(sliceMs));
    if (first == WAIT_OBJECT_0 || first == WAIT_ABANDONED || first == WAIT_FAILED) return first;
  }
}
