#include <platform/Threads.h>

#include <platform/Kernel.h>

#include <fcntl.h>

#include <cerrno>

#include "KernelObject.h"

BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD,
                     BOOL, DWORD options) {
  if (!target || sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess() ||
      (options & ~(DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *target = nullptr;
  if (IsFdHandle(source)) {
    const int fd = fcntl(FdFromHandle(source), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
      SetLastError(Win32ErrorFromErrno(errno));
      return FALSE;
    }
    *target = HandleFromFd(fd);
  } else {
    std::shared_ptr<KernelObject> object = LookupObject(source);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    *target = RegisterObject(std::move(object));
  }
  if (options & DUPLICATE_CLOSE_SOURCE) CloseHandle(source);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
