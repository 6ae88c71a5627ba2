// The calls on an open file handle beside reading, writing and seeking.
#include <platform/KernelFiles.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform/Kernel.h>

#include <cerrno>

#include "FileInfo.h"
#include "KernelObject.h"
#include "PosixIo.h"

static int FdOrFail(HANDLE file) {
  const int fd = FdFromHandle(file);
  if (fd < 0) SetLastError(ERROR_INVALID_HANDLE);
  return fd;
}

static BOOL FailWithErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return FALSE;
}

BOOL SetFileTime(HANDLE file, const FILETIME*, const FILETIME* lastAccessTime, const FILETIME* lastWriteTime) {
  const int fd = FdOrFail(file);
  if (fd < 0) return FALSE;
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (lastAccessTime) times[0] = TimespecFromFileTime(*lastAccessTime);
  if (lastWriteTime) times[1] = TimespecFromFileTime(*lastWriteTime);
  if (futimens(fd, times) != 0) return FailWithErrno();
  return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime) {
  const int fd = FdOrFail(file);
  if (fd < 0) return FALSE;
  struct stat info;
  if (fstat(fd, &info) != 0) return FailWithErrno();
  if (creationTime) *creationTime = FileTimeFromTimespec(info.st_ctim);
  if (lastAccessTime) *lastAccessTime = FileTimeFromTimespec(info.st_atim);
  if (lastWriteTime) *lastWriteTime = FileTimeFromTimespec(info.st_mtim);
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  const int fd = FdOrFail(file);
  if (fd < 0) return INVALID_FILE_SIZE;
  struct stat info;
  if (fstat(fd, &info) != 0) {
    FailWithErrno();
    return INVALID_FILE_SIZE;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  // As on Windows, a low word that equals the failure value is told apart by
  // the last error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE file) {
  const int fd = FdOrFail(file);
  if (fd < 0) return FALSE;
  const off_t position = lseek(fd, 0, SEEK_CUR);
  if (position < 0) return FailWithErrno();
  if (RetryOnEintr([&] { return ftruncate(fd, position); }) != 0) return FailWithErrno();
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  const int fd = FdOrFail(file);
  if (fd < 0) return FALSE;
  if (fsync(fd) != 0) return FailWithErrno();
  return TRUE;
}
