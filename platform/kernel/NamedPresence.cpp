#include "NamedPresence.h"

#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Log.h>

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "KernelPaths.h"
#include "PosixIo.h"

// Held only while a process decides whether it is first or last, never while
// it waits on the object itself.
static UniqueFd LockGate(const std::string& folder, DWORD* error) {
  const std::string path = folder + "/gate.lock";
  UniqueFd gate(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!gate.valid() || RetryFlock(gate.get(), LOCK_EX) != 0) {
    const int err = errno;
    PlatformLog("kernel: gate %s failed, errno %d", path.c_str(), err);
    *error = Win32ErrorFromErrno(err);
    return UniqueFd();
  }
  return gate;
}

NamedPresence::NamedPresence(std::string folder, UniqueFd fd, Hook onLastLeave)
    : folder_(std::move(folder)), fd_(std::move(fd)), onLastLeave_(std::move(onLastLeave)) {}

std::unique_ptr<NamedPresence> NamedPresence::Join(const std::string& path, bool create, const Hook& onCreate,
                                                   Hook onLastLeave, bool* created, DWORD* error) {
  *created = false;
  const std::string folder = FolderOf(path);
  UniqueFd gate = LockGate(folder, error);
  if (!gate.valid()) return nullptr;
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600));
  if (!fd.valid()) {
    const int err = errno;
    if (err != ENOENT) PlatformLog("kernel: open(%s) failed, errno %d", path.c_str(), err);
    *error = err == ENOENT ? ERROR_FILE_NOT_FOUND : Win32ErrorFromErrno(err);
    return nullptr;
  }
  if (RetryFlock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: what the file holds is left over from earlier holders.
    if (!create) {
      *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    if (onCreate && !onCreate(fd.get())) {
      const int err = errno;
      PlatformLog("kernel: starting %s failed, errno %d", path.c_str(), err);
      *error = Win32ErrorFromErrno(err);
      return nullptr;
    }
    *created = true;
  } else if (errno != EWOULDBLOCK) {
    const int err = errno;
    PlatformLog("kernel: flock(%s) failed, errno %d", path.c_str(), err);
    *error = Win32ErrorFromErrno(err);
    return nullptr;
  }
  // Converting our exclusive lock is not atomic, but the gate keeps every other
  // joiner out meanwhile; other holders only ever hold shared locks.
  if (RetryFlock(fd.get(), LOCK_SH | LOCK_NB) != 0) {
    const int err = errno;
    PlatformLog("kernel: shared flock(%s) failed, errno %d", path.c_str(), err);
    *error = Win32ErrorFromErrno(err);
    return nullptr;
  }
  return std::unique_ptr<NamedPresence>(new NamedPresence(folder, std::move(fd), std::move(onLastLeave)));
}

NamedPresence::~NamedPresence() {
  if (!onLastLeave_) return;
  DWORD error = ERROR_SUCCESS;
  UniqueFd gate = LockGate(folder_, &error);
  if (!gate.valid()) return;
  // If the upgrade fails another holder remains; we are leaving either way.
  if (RetryFlock(fd_.get(), LOCK_EX | LOCK_NB) == 0) onLastLeave_(fd_.get());
  fd_.reset();
}
