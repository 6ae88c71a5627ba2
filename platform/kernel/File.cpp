// File calls. Everything here is async-signal-safe: the crash filter creates
// and writes its dump file with them, so nothing allocates, locks or uses stdio.
#include <platform/Kernel.h>

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <platform/KernelFiles.h>

#include "KernelObject.h"
#include "KernelPaths.h"
#include "PosixIo.h"
#include "ShareLock.h"

namespace {

// Misuse, never the crash path: a fixed line straight to stderr.
void LogMisuse(const char* line) {
  const ssize_t ignored = write(STDERR_FILENO, line, strlen(line));
  (void)ignored;
}

// ERROR_SUCCESS, or why the name cannot be a path here.
DWORD WideToUtf8Path(LPCWSTR name, char* out, size_t size) {
  if (!*name) return ERROR_PATH_NOT_FOUND;
  size_t n = 0;
  for (; *name; ++name) {
    const uint32_t c = static_cast<uint32_t>(*name);
    char bytes[4];
    size_t count = 0;
    if (c < 0x80) {
      bytes[count++] = static_cast<char>(c);
    } else if (c < 0x800) {
      bytes[count++] = static_cast<char>(0xC0 | (c >> 6));
      bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      if (c >= 0xD800 && c <= 0xDFFF) return ERROR_INVALID_NAME;
      bytes[count++] = static_cast<char>(0xE0 | (c >> 12));
      bytes[count++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c <= 0x10FFFF) {
      bytes[count++] = static_cast<char>(0xF0 | (c >> 18));
      bytes[count++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[count++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      return ERROR_INVALID_NAME;
    }
    if (n + count >= size) return ERROR_FILENAME_EXCED_RANGE;
    memcpy(out + n, bytes, count);
    n += count;
  }
  out[n] = '\0';
  return ERROR_SUCCESS;
}

int OpenNoIntr(const char* path, int flags) {
  return RetryOnEintr([&] { return open(path, flags | O_CLOEXEC, 0666); });
}

// Opens for a disposition. "existed" is learnt without a race: exclusive
// creation first, then the existing file.
int OpenForDisposition(const char* path, int access, DWORD disposition, bool* existed) {
  *existed = false;
  switch (disposition) {
    case CREATE_NEW:
      return OpenNoIntr(path, access | O_CREAT | O_EXCL);
    case OPEN_EXISTING:
      return OpenNoIntr(path, access);
    case TRUNCATE_EXISTING:
      return OpenNoIntr(path, access | O_TRUNC);
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      break;
    default:
      return -1;
  }
  const int existingFlags = access | (disposition == CREATE_ALWAYS ? O_TRUNC : 0);
  // Another process may remove or create the file between the two opens.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int created = OpenNoIntr(path, access | O_CREAT | O_EXCL);
    if (created >= 0 || errno != EEXIST) return created;
    const int fd = OpenNoIntr(path, existingFlags);
    if (fd >= 0) {
      *existed = true;
      return fd;
    }
    if (errno != ENOENT) return -1;
  }
  return -1;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const DWORD knownAccess = GENERIC_READ | GENERIC_WRITE | FILE_GENERIC_READ | FILE_GENERIC_WRITE;
  if ((desiredAccess & ~knownAccess) != 0 || (flagsAndAttributes & ~FILE_ATTRIBUTE_NORMAL) != 0 ||
      creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
    LogMisuse("CreateFileW: unsupported access, disposition or attribute\n");
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const bool read = (desiredAccess & (GENERIC_READ | FILE_READ_DATA)) != 0;
  const bool write = (desiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  if (creationDisposition == TRUNCATE_EXISTING && !write) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  char path[PATH_MAX];
  const DWORD nameError = WideToUtf8Path(fileName, path, sizeof(path));
  if (nameError != ERROR_SUCCESS) {
    SetLastError(nameError);
    return INVALID_HANDLE_VALUE;
  }
  const int access = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  // A sharing violation must leave the file as it was: truncate only once
  // the lock is ours.
  const DWORD openDisposition = creationDisposition == CREATE_ALWAYS       ? OPEN_ALWAYS
                                : creationDisposition == TRUNCATE_EXISTING ? OPEN_EXISTING
                                                                           : creationDisposition;
  const bool truncate = openDisposition != creationDisposition;
  bool existed = false;
  const int fd = OpenForDisposition(path, access, openDisposition, &existed);
  if (fd < 0) {
    const int err = errno;
    if (err == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
    } else if (err == ENOENT) {
      SetLastError(creationDisposition == CREATE_NEW || creationDisposition == CREATE_ALWAYS ||
                           creationDisposition == OPEN_ALWAYS
                       ? ERROR_PATH_NOT_FOUND
                       : NotFoundError(path));
    } else {
      SetLastError(Win32ErrorFromErrno(err));
    }
    return INVALID_HANDLE_VALUE;
  }
  if (!TakeShareLock(fd, ShareLockFor(write, shareMode))) {
    const int err = errno;
    close(fd);
    SetLastError(err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : Win32ErrorFromErrno(err));
    return INVALID_HANDLE_VALUE;
  }
  if (truncate && (existed || creationDisposition == TRUNCATE_EXISTING) && ftruncate(fd, 0) != 0) {
    const int err = errno;
    close(fd);
    SetLastError(Win32ErrorFromErrno(err));
    return INVALID_HANDLE_VALUE;
  }
  const bool reportsExisting = creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return HandleFromFd(fd);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  const int fd = FdFromHandle(file);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToWrite != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t done = 0;
  const bool written = WriteFully(fd, buffer, bytesToWrite, &done);
  if (bytesWritten) *bytesWritten = static_cast<DWORD>(done);
  if (!written) {
    SetLastError(Win32ErrorFromErrno(errno));  // ENOSPC, ERROR_DISK_FULL, when the system took nothing
    return FALSE;
  }
  return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped) {
  if (bytesRead) *bytesRead = 0;
  const int fd = FdFromHandle(file);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToRead != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A short count means the end of the file, as on Windows.
  size_t done = 0;
  const bool read = ReadFully(fd, buffer, bytesToRead, &done);
  if (bytesRead) *bytesRead = static_cast<DWORD>(done);
  if (!read) {
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod) {
  const int fd = FdFromHandle(file);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int whence = SEEK_SET;
  switch (moveMethod) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  // Without the high word the distance is a signed 32-bit value.
  const int64_t distance =
      distanceToMoveHigh
          ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceToMoveHigh)) << 32) |
                                 static_cast<uint32_t>(distanceToMove))
          : static_cast<int64_t>(distanceToMove);
  const off_t before = lseek(fd, 0, SEEK_CUR);
  const off_t position = lseek(fd, static_cast<off_t>(distance), whence);
  if (position < 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (!distanceToMoveHigh && static_cast<uint64_t>(position) > 0xFFFFFFFEu) {
    // The caller could not tell the position from the failure value: refuse
    // the move and stay where the file was.
    if (before >= 0) lseek(fd, before, SEEK_SET);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}
