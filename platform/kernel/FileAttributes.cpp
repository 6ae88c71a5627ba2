// Attributes, removal and creation of files and folders.
#include <platform/KernelFiles.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cerrno>
#include <string>

#include "FileInfo.h"
#include "KernelPaths.h"
#include "ShareLock.h"

static DWORD ErrorFor(int err, const std::string& path) {
  return err == ENOENT ? NotFoundError(path.c_str()) : Win32ErrorFromErrno(err);
}

static bool Fail(int err, const std::string& path) {
  SetLastError(ErrorFor(err, path));
  return false;
}

// Null or empty names fail as Windows fails them.
static bool PathOf(LPCWSTR name, std::string* path) {
  if (!name || !*name) {
    SetLastError(name ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return false;
  }
  *path = WideToUtf8(name);
  return true;
}

DWORD AttributesFromStat(const struct stat& info) {
  DWORD attributes = 0;
  if (S_ISLNK(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  } else if (S_ISDIR(info.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if ((info.st_mode & S_IWUSR) == 0) {
    attributes |= FILE_ATTRIBUTE_READONLY;
  }
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  std::string path;
  if (!PathOf(fileName, &path)) return INVALID_FILE_ATTRIBUTES;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) {
    Fail(errno, path);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesFromStat(info);
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  std::string path;
  if (!PathOf(fileName, &path)) return FALSE;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return Fail(errno, path);
  // A link's own mode means nothing, and folders carry no read-only mark.
  if (S_ISLNK(info.st_mode) || S_ISDIR(info.st_mode)) return TRUE;
  mode_t mode = info.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode != (info.st_mode & 07777) && chmod(path.c_str(), mode) != 0) return Fail(errno, path);
  return TRUE;
}

BOOL CopyFileModeW(LPCWSTR model, LPCWSTR target) {
  std::string from, to;
  if (!PathOf(model, &from) || !PathOf(target, &to)) return FALSE;
  struct stat info;
  if (stat(from.c_str(), &info) != 0) return Fail(errno, from);
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (chmod(to.c_str(), info.st_mode & 0777) != 0) return Fail(errno, to);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName) {
  std::string path;
  if (!PathOf(fileName, &path)) return FALSE;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return Fail(errno, path);
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!S_ISLNK(info.st_mode) && HeldByAHandle(path.c_str())) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(path.c_str()) != 0) return Fail(errno, path);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string path;
  if (!PathOf(pathName, &path)) return FALSE;
  if (mkdir(path.c_str(), 0777) != 0) {
    const int err = errno;
    SetLastError(err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
  std::string path;
  if (!PathOf(pathName, &path)) return FALSE;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return Fail(errno, path);
  if (!S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (rmdir(path.c_str()) != 0) return Fail(errno, path);
  return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes) {
  const std::string path = directoryName && *directoryName ? WideToUtf8(directoryName) : std::string(".");
  struct statvfs info;
  if (statvfs(path.c_str(), &info) != 0) return Fail(errno, path);
  const ULONGLONG unit = info.f_frsize ? info.f_frsize : info.f_bsize;
  if (freeBytesAvailableToCaller) freeBytesAvailableToCaller->QuadPart = unit * info.f_bavail;
  if (totalNumberOfBytes) totalNumberOfBytes->QuadPart = unit * info.f_blocks;
  if (totalNumberOfFreeBytes) totalNumberOfFreeBytes->QuadPart = unit * info.f_bfree;
  return TRUE;
}
