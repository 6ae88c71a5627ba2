#include <platform/Threads.h>

#include <platform/ExceptionFilter.h>
#include <platform/Kernel.h>
#include <platform/Log.h>

#include <limits.h>
#include <pthread.h>

#include <QtGlobal>
#include <cerrno>
#include <memory>

#include "WorkerThreadObject.h"

namespace {

struct StartRecord {
  unsigned (*start)(void*);
  void* arg;
  std::shared_ptr<WorkerThreadObject> self;  // keeps the object alive while the thread runs
};

// Owns a pthread attribute record.
class ThreadAttributes {
 public:
  ThreadAttributes() { ok_ = pthread_attr_init(&attributes_) == 0; }
  ~ThreadAttributes() {
    if (ok_) pthread_attr_destroy(&attributes_);
  }
  ThreadAttributes(const ThreadAttributes&) = delete;
  ThreadAttributes& operator=(const ThreadAttributes&) = delete;
  bool ok() const { return ok_; }
  pthread_attr_t* get() { return &attributes_; }

 private:
  pthread_attr_t attributes_;
  bool ok_ = false;
};

}  // namespace

static void* ThreadMain(void* context) {
  std::unique_ptr<StartRecord> record(static_cast<StartRecord*>(context));
  InstallThreadCrashStack();
  record->self->Started(GetCurrentThreadId());
  const unsigned code = record->start(record->arg);
  RunThreadEndHook();
  record->self->Ended(code);
  return nullptr;
}

static uintptr_t FailThread(int err) {
  errno = err;
  SetLastError(Win32ErrorFromErrno(err));
  return 0;
}

uintptr_t _beginthreadex(void*, unsigned stackSize, unsigned (*start)(void*), void* arg, unsigned initFlag,
                         unsigned* threadId) {
  // Nothing here starts a thread suspended: a flag would be silently ignored.
  if (!start || initFlag != 0) {
    PlatformLog("_beginthreadex: unsupported start (function %p, flags 0x%x)", reinterpret_cast<void*>(start), initFlag);
    return FailThread(EINVAL);
  }
  ThreadAttributes attributes;
  if (!attributes.ok()) return FailThread(ENOMEM);
  pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED);
  if (stackSize != 0) {
    const size_t bytes = stackSize < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stackSize;
    pthread_attr_setstacksize(attributes.get(), bytes);
  }
  auto object = std::make_shared<WorkerThreadObject>();
  auto* record = new StartRecord{start, arg, object};
  pthread_t thread;
  const int err = pthread_create(&thread, attributes.get(), ThreadMain, record);
  if (err != 0) {
    delete record;
    PlatformLog("_beginthreadex: pthread_create failed, error %d", err);
    return FailThread(err);
  }
  if (threadId) *threadId = object->WaitForThreadId();
  HANDLE handle = RegisterObject(object);
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<uintptr_t>(handle);
}

static std::shared_ptr<WorkerThreadObject> ThreadOf(HANDLE handle) {
  std::shared_ptr<WorkerThreadObject> thread = LookupObjectAs<WorkerThreadObject>(handle);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

DWORD SuspendThread(HANDLE handle) {
  std::shared_ptr<WorkerThreadObject> thread = ThreadOf(handle);
  return thread ? thread->Suspend() : static_cast<DWORD>(-1);
}

DWORD ResumeThread(HANDLE handle) {
  std::shared_ptr<WorkerThreadObject> thread = ThreadOf(handle);
  return thread ? thread->Resume() : static_cast<DWORD>(-1);
}

BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
  // Killing one thread of a process would leave its locks held and its heap
  // blocks lost; the owner has to ask the thread to end instead.
  PlatformLog("TerminateThread(%p, %u) refused: a thread cannot be ended from outside here",
           handle, static_cast<unsigned>(exitCode));
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  std::shared_ptr<WorkerThreadObject> thread = ThreadOf(handle);
  if (!thread || !exitCode) {
    if (thread) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return thread->ExitCode(exitCode) ? TRUE : FALSE;
}
