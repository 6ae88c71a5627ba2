// CopyFileW and MoveFileExW: the target is replaced in one rename, so a kill
// at any moment leaves the old or the new file, never a part of one.
#include <platform/KernelFiles.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cerrno>
#include <string>

#include <platform/Unique.h>

#include "KernelPaths.h"
#include "PosixIo.h"
#include "ShareLock.h"

namespace {

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

bool FailWithErrno(int err, const std::string& path) {
  return Fail(err == ENOENT ? NotFoundError(path.c_str()) : Win32ErrorFromErrno(err));
}

// Why an existing target may not be replaced, or ERROR_SUCCESS.
DWORD TargetRefusal(const std::string& target) {
  struct stat info;
  if (lstat(target.c_str(), &info) != 0) return ERROR_SUCCESS;
  if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
  if (!S_ISLNK(info.st_mode) && HeldByAHandle(target.c_str())) return ERROR_SHARING_VIOLATION;
  return ERROR_SUCCESS;
}

bool CopyBytes(int from, int to) {
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0); });
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    return false;
  }
  // Fallback for file systems that cannot copy in the kernel; restart from
  // where copy_file_range left both offsets.
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return read(from, buffer, sizeof(buffer)); });
    if (n == 0) return true;
    if (n < 0 || !WriteFully(to, buffer, static_cast<size_t>(n))) return false;
  }
}

void SyncFolderOf(const std::string& path) {
  UniqueFd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) fsync(folder.get());
}

// Copies source to a temporary file beside target with the source's mode and
// times, then renames it into place (only when target is missing, with
// noReplace).
bool CopyReplacing(const std::string& source, const std::string& target, bool noReplace) {
  UniqueFd from(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!from.valid()) return FailWithErrno(errno, source);
  struct stat info;
  if (fstat(from.get(), &info) != 0) return FailWithErrno(errno, source);
  if (!S_ISREG(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (noReplace && access(target.c_str(), F_OK) == 0) return Fail(ERROR_FILE_EXISTS);
  const DWORD refusal = TargetRefusal(target);
  if (refusal != ERROR_SUCCESS) return Fail(refusal);

  const size_t slash = target.rfind('/');
  std::string temp = FolderOf(target) + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
  UniqueFd to(mkostemp(&temp[0], O_CLOEXEC));
  if (!to.valid()) {
    const int err = errno;
    return Fail(err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err));
  }
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  if (!CopyBytes(from.get(), to.get()) || fchmod(to.get(), info.st_mode & 07777) != 0 ||
      futimens(to.get(), times) != 0 || fsync(to.get()) != 0) {
    const int err = errno;
    unlink(temp.c_str());
    return Fail(Win32ErrorFromErrno(err));
  }
  to.reset();
  const int rc = noReplace ? renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE)
                           : rename(temp.c_str(), target.c_str());
  if (rc != 0) {
    const int err = errno;
    unlink(temp.c_str());
    return Fail(err == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(err));
  }
  SyncFolderOf(target);
  return true;
}

bool PathsOf(LPCWSTR from, LPCWSTR to, std::string* source, std::string* target) {
  if (!from || !to || !*from || !*to) return Fail(ERROR_INVALID_PARAMETER);
  *source = WideToUtf8(from);
  *target = WideToUtf8(to);
  return true;
}

}  // namespace

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  std::string source, target;
  if (!PathsOf(existingFileName, newFileName, &source, &target)) return FALSE;
  return CopyReplacing(source, target, failIfExists != FALSE);
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  std::string source, target;
  if (!PathsOf(existingFileName, newFileName, &source, &target)) return FALSE;
  if (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  struct stat info;
  if (lstat(source.c_str(), &info) != 0) return FailWithErrno(errno, source);
  const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  if (replace) {
    const DWORD refusal = TargetRefusal(target);
    if (refusal != ERROR_SUCCESS) return Fail(refusal);
  }
  const int rc = replace ? rename(source.c_str(), target.c_str())
                         : renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  if (rc == 0) {
    if (flags & MOVEFILE_WRITE_THROUGH) SyncFolderOf(target);
    return TRUE;
  }
  const int err = errno;
  if (err == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (err != EXDEV) return FailWithErrno(err, err == ENOENT ? target : source);
  if (!(flags & MOVEFILE_COPY_ALLOWED) || !S_ISREG(info.st_mode)) return Fail(ERROR_NOT_SAME_DEVICE);
  if (!CopyReplacing(source, target, !replace)) {
    if (!replace && GetLastError() == ERROR_FILE_EXISTS) SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (unlink(source.c_str()) != 0) return FailWithErrno(errno, source);
  return TRUE;
}
