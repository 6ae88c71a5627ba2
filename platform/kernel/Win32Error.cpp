#include <platform/Kernel.h>

#include <platform/Log.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "CrashState.h"

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct ErrnoToWin32 {
  int err;
  DWORD win32;
};

constexpr ErrnoToWin32 kErrnoToWin32[] = {
    {0, ERROR_SUCCESS},
    {EPERM, ERROR_ACCESS_DENIED},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ESRCH, ERROR_INVALID_PARAMETER},  // OpenProcess of a pid that is gone
    {EINTR, ERROR_GEN_FAILURE},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_FILE_NOT_FOUND},
    {E2BIG, ERROR_INVALID_PARAMETER},
    {ENOEXEC, ERROR_BAD_EXE_FORMAT},
    {EBADF, ERROR_INVALID_HANDLE},
    {ECHILD, ERROR_INVALID_HANDLE},
    {EAGAIN, ERROR_NOT_ENOUGH_MEMORY},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EACCES, ERROR_ACCESS_DENIED},
    {EFAULT, ERROR_INVALID_ADDRESS},
    {EBUSY, ERROR_BUSY},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EXDEV, ERROR_NOT_SUPPORTED},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EFBIG, ERROR_DISK_FULL},
    {ENOSPC, ERROR_DISK_FULL},
    {ESPIPE, ERROR_INVALID_PARAMETER},
    {EROFS, ERROR_ACCESS_DENIED},
    {EPIPE, ERROR_BROKEN_PIPE},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ELOOP, ERROR_BAD_PATHNAME},
    {ENOSYS, ERROR_NOT_SUPPORTED},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {ETIMEDOUT, ERROR_TIMEOUT},
};

// Unknown errno values already logged, one bit each (Linux's stay below 256).
std::atomic<uint64_t> g_unknownLogged[4];

void NoteUnknown(int err) {
  // The crash path maps errno too; it must neither log nor allocate.
  if (err < 0 || err >= 256 || CrashInProgress()) return;
  const uint64_t bit = uint64_t{1} << (err % 64);
  if ((g_unknownLogged[err / 64].fetch_or(bit) & bit) != 0) return;
  PlatformLog("kernel: errno %d has no Windows error here; callers see ERROR_GEN_FAILURE", err);
}

}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

DWORD Win32ErrorFromErrno(int err) {
  for (const ErrnoToWin32& entry : kErrnoToWin32) {
    if (entry.err == err) return entry.win32;
  }
  NoteUnknown(err);
  return ERROR_GEN_FAILURE;
}
