#include "ShareLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <platform/KernelFiles.h>
#include <platform/Kernel.h>

#include <cerrno>

#include <platform/Unique.h>

#include "PosixIo.h"

int ShareLockFor(bool writeAccess, DWORD shareMode) {
  if ((shareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE)) == 0) return LOCK_EX;
  if (writeAccess && (shareMode & FILE_SHARE_WRITE) == 0) return LOCK_EX;
  return LOCK_SH;
}

bool TakeShareLock(int fd, int operation) { return RetryFlock(fd, operation | LOCK_NB) == 0; }

bool HeldByAHandle(const char* path) {
  const UniqueFd fd(RetryOnEintr([path] { return open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
  if (!fd.valid()) return false;
  return !TakeShareLock(fd.get(), LOCK_EX);
}
