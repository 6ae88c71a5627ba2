#include "MutexObject.h"

#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cwchar>
#include <map>
#include <string>

#include "KernelObject.h"
#include "RuntimeDir.h"

namespace {

// Each handle is its own registered object; all handles of one name in this
// process share one MutexObject, so recursion works across them as on Windows.
class MutexHandle : public KernelObject {
 public:
  explicit MutexHandle(std::shared_ptr<MutexObject> mutex) : mutex_(std::move(mutex)) {}
  DWORD Wait(DWORD milliseconds) override { return mutex_->Acquire(milliseconds); }
  BOOL Release() { return mutex_->Release(); }

 private:
  std::shared_ptr<MutexObject> mutex_;
};

struct MutexTable {
  std::mutex lock;
  std::map<std::string, std::weak_ptr<MutexObject>> byPath;
};

MutexTable& TheMutexTable() {
  static MutexTable* table = new MutexTable;  // never destroyed: handles may close during exit
  return *table;
}

}  // namespace

MutexObject::MutexObject(std::unique_ptr<NamedPresence> presence, UniqueFd owner)
    : presence_(std::move(presence)), owner_(std::move(owner)) {}

static bool TryOwnerLock(void* context, int sliceMs) {
  const int fd = *static_cast<int*>(context);
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (sliceMs > 0) usleep(static_cast<useconds_t>(sliceMs) * 1000);
  return false;
}

DWORD MutexObject::Acquire(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const DWORD self = GetCurrentThreadId();
  std::unique_lock<std::mutex> guard(lock_);
  if (ownerThread_ == self && count_ > 0) {
    ++count_;
    return WAIT_OBJECT_0;
  }
  while (ownerThread_ != 0) {
    if (milliseconds == INFINITE) {
      released_.wait(guard);
      continue;
    }
    const auto deadline = start + std::chrono::milliseconds(milliseconds);
    if (released_.wait_until(guard, deadline) == std::cv_status::timeout && ownerThread_ != 0) return WAIT_TIMEOUT;
  }
  ownerThread_ = self;
  if (!owner_.valid()) {
    count_ = 1;
    return WAIT_OBJECT_0;
  }
  guard.unlock();
  DWORD left = milliseconds;
  if (milliseconds != INFINITE) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    left = spent >= static_cast<long long>(milliseconds) ? 0 : milliseconds - static_cast<DWORD>(spent);
  }
  int fd = owner_.get();
  const bool got = PollUntil(left, TryOwnerLock, &fd);
  guard.lock();
  if (!got) {
    ownerThread_ = 0;
    released_.notify_one();
    return WAIT_TIMEOUT;
  }
  char mark = 0;
  const bool abandoned = pread(fd, &mark, 1, 0) == 1 && mark == 1;
  if (pwrite(fd, "\1", 1, 0) != 1) PlatformLog("kernel: mutex mark write failed, errno %d", errno);
  count_ = 1;
  return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

BOOL MutexObject::Release() {
  std::lock_guard<std::mutex> guard(lock_);
  if (ownerThread_ != GetCurrentThreadId() || count_ == 0) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  if (--count_ > 0) return TRUE;
  if (owner_.valid()) {
    // Cleared before unlocking, so only a holder that dies leaves the mark.
    if (pwrite(owner_.get(), "\0", 1, 0) != 1) PlatformLog("kernel: mutex mark clear failed, errno %d", errno);
    flock(owner_.get(), LOCK_UN);
  }
  ownerThread_ = 0;
  released_.notify_one();
  return TRUE;
}

static std::shared_ptr<MutexObject> OpenNamedMutex(const std::wstring& name, bool* created, DWORD* error) {
  *created = false;
  const std::string folder = NamedObjectFolder(error);
  if (folder.empty()) return nullptr;
  const std::string path = NamedObjectPath(folder, "mutex", name);
  MutexTable& table = TheMutexTable();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.byPath.find(path);
  if (it != table.byPath.end()) {
    if (std::shared_ptr<MutexObject> mutex = it->second.lock()) return mutex;
    table.byPath.erase(it);
  }
  const std::string ownerPath = path + ".owner";
  UniqueFd owner(open(ownerPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!owner.valid()) {
    const int err = errno;
    PlatformLog("kernel: open(%s) failed, errno %d", ownerPath.c_str(), err);
    *error = Win32ErrorFromErrno(err);
    return nullptr;
  }
  // A mark left by a holder of an earlier life of this name is no abandonment
  // of the new mutex.
  const int ownerFd = owner.get();
  auto clearMark = [ownerFd](int) { return ftruncate(ownerFd, 0) == 0; };
  std::unique_ptr<NamedPresence> presence = NamedPresence::Join(path, true, clearMark, nullptr, created, error);
  if (!presence) return nullptr;
  auto mutex = std::make_shared<MutexObject>(std::move(presence), std::move(owner));
  table.byPath[path] = mutex;
  return mutex;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  std::shared_ptr<MutexObject> mutex;
  bool created = true;
  if (!name || !name[0]) {
    mutex = std::make_shared<MutexObject>();
  } else {
    if (wcslen(name) >= MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return nullptr;
    }
    DWORD error = ERROR_SUCCESS;
    mutex = OpenNamedMutex(name, &created, &error);
    if (!mutex) {
      SetLastError(error);
      return nullptr;
    }
  }
  // Only the creator takes the initial ownership; an opener of an existing
  // mutex gets ERROR_ALREADY_EXISTS and no ownership, as on Windows.
  if (created && initialOwner) mutex->Acquire(INFINITE);
  HANDLE handle = RegisterObject(std::make_shared<MutexHandle>(mutex));
  SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name) {
  if (!name) return CreateMutexW(attributes, initialOwner, nullptr);
  return CreateMutexW(attributes, initialOwner, Utf8ToWide(name).c_str());
}

BOOL ReleaseMutex(HANDLE mutex) {
  std::shared_ptr<MutexHandle> handle = LookupObjectAs<MutexHandle>(mutex);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return handle->Release();
}
