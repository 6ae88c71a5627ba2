#include "ShareLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <platform/KernelFiles.h>
#include <platform/Kernel.h>

#include <cerrno>

#include "PosixIo.h"

int ShareLockFor(bool writeAccess, DWORD shareMode) {
  if ((shareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE)) == 0) return LOCK_EX;
  if (writeAccess && (shareMode & FILE_SHARE_WRITE) == 0) return LOCK_EX;
  return LOCK_SH;
}

bool TakeShareLock(int fd, int operation) { return RetryFlock(fd, operation | LOCK_NB) == 0; }

bool HeldByAHandle(const char* path) {
  const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = !TakeShareLock(fd, LOCK_EX);
  close(fd);
  return held;
}
