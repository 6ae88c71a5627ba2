#include "EventObject.h"

#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Log.h>

#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cwchar>

#include "RuntimeDir.h"

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the event word is shared between processes");

EventObject::EventObject(std::unique_ptr<NamedPresence> presence, State* state, size_t mappedBytes)
    : presence_(std::move(presence)), state_(state), mappedBytes_(mappedBytes) {}

EventObject::~EventObject() { munmap(state_, mappedBytes_); }

// Not FUTEX_PRIVATE: the word may be mapped by several processes.
static void FutexWait(std::atomic<uint32_t>* word, uint32_t expected, const timespec* timeout) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT, expected, timeout, nullptr, 0);
}

static void FutexWakeAll(std::atomic<uint32_t>* word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

DWORD EventObject::Wait(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds == INFINITE ? 0 : milliseconds);
  for (;;) {
    if (state_->manualReset) {
      if (state_->signaled.load() != 0) return WAIT_OBJECT_0;
    } else {
      uint32_t expected = 1;
      if (state_->signaled.compare_exchange_strong(expected, 0)) return WAIT_OBJECT_0;
    }
    // Short sleeps even without a deadline: a waker in another process that
    // dies between its store and its wake cannot strand us.
    long long sliceMs = 200;
    if (milliseconds != INFINITE) {
      const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return WAIT_TIMEOUT;
      sliceMs = std::min(sliceMs, left);
    }
    const timespec timeout = {static_cast<time_t>(sliceMs / 1000), static_cast<long>(sliceMs % 1000) * 1000000};
    FutexWait(&state_->signaled, 0, &timeout);
  }
}

void EventObject::Set() {
  state_->signaled.store(1);
  // Every waiter wakes; for an auto-reset event one wins the exchange and the
  // rest sleep again.
  FutexWakeAll(&state_->signaled);
}

void EventObject::Reset() { state_->signaled.store(0); }

static size_t PageBytes() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

static HANDLE OpenNamedEvent(LPCWSTR name, bool create, BOOL manualReset, BOOL initialState) {
  if (wcslen(name) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const std::string folder = NamedObjectFolder(&error);
  if (folder.empty()) {
    SetLastError(error);
    return nullptr;
  }
  const std::string path = NamedObjectPath(folder, "event", name);
  const size_t bytes = PageBytes();
  auto start = [bytes, manualReset, initialState](int fd) {
    const uint32_t words[2] = {initialState ? 1u : 0u, manualReset ? 1u : 0u};
    return ftruncate(fd, 0) == 0 && ftruncate(fd, static_cast<off_t>(bytes)) == 0 &&
           pwrite(fd, words, sizeof words, 0) == static_cast<ssize_t>(sizeof words);
  };
  bool created = false;
  std::unique_ptr<NamedPresence> presence = NamedPresence::Join(path, create, start, nullptr, &created, &error);
  if (!presence) {
    SetLastError(error);
    return nullptr;
  }
  struct stat info;
  if (fstat(presence->fd(), &info) != 0 || static_cast<size_t>(info.st_size) < sizeof(EventObject::State)) {
    PlatformLog("kernel: event file %s is too short, not used", path.c_str());
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* page = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, presence->fd(), 0);
  if (page == MAP_FAILED) {
    const int err = errno;
    PlatformLog("kernel: mmap of event %s failed, errno %d", path.c_str(), err);
    SetLastError(Win32ErrorFromErrno(err));
    return nullptr;
  }
  auto* state = static_cast<EventObject::State*>(page);
  HANDLE handle = RegisterObject(std::make_shared<EventObject>(std::move(presence), state, bytes));
  SetLastError(create && !created ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name && name[0]) return OpenNamedEvent(name, true, manualReset, initialState);
  const size_t bytes = PageBytes();
  void* page = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) {
    SetLastError(Win32ErrorFromErrno(errno));
    return nullptr;
  }
  auto* state = static_cast<EventObject::State*>(page);
  state->signaled.store(initialState ? 1 : 0);
  state->manualReset = manualReset ? 1 : 0;
  HANDLE handle = RegisterObject(std::make_shared<EventObject>(nullptr, state, bytes));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
  if (!name || !name[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return OpenNamedEvent(name, false, FALSE, FALSE);
}

BOOL SetEvent(HANDLE event) {
  std::shared_ptr<EventObject> object = LookupObjectAs<EventObject>(event);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  std::shared_ptr<EventObject> object = LookupObjectAs<EventObject>(event);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->Reset();
  return TRUE;
}
