// The mount point of a path: the last folder, walking up from the path,
// that lies on the same device as the path itself.
#include <platform/KernelFiles.h>

#include <sys/stat.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "KernelPaths.h"

BOOL GetVolumePathNameW(LPCWSTR fileName, LPWSTR volumePathName, DWORD bufferLength) {
  if (!fileName || !*fileName || !volumePathName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string given = WideToUtf8(fileName);
  char resolved[PATH_MAX];
  // Links resolved first: a link's target may lie on another device.
  if (!realpath(given.c_str(), resolved)) {
    const int err = errno;
    SetLastError(err == ENOENT ? NotFoundError(given.c_str()) : Win32ErrorFromErrno(err));
    return FALSE;
  }
  std::string path = resolved;
  struct stat own;
  if (stat(path.c_str(), &own) != 0) {
    SetLastError(Win32ErrorFromErrno(errno));
    return FALSE;
  }
  while (path != "/") {
    const size_t slash = path.rfind('/');
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat above;
    if (stat(parent.c_str(), &above) != 0 || above.st_dev != own.st_dev) break;
    path = parent;
  }
  if (path.back() != '/') path += '/';
  const std::wstring wide = Utf8ToWide(path);
  if (wide.size() + 1 > bufferLength) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  wide.copy(volumePathName, wide.size());
  volumePathName[wide.size()] = L'\0';
  return TRUE;
}
