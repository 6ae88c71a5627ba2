#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "KernelPaths.h"

BOOL SetCurrentDirectoryW(LPCWSTR pathName) {
  if (!pathName || !*pathName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string path = WideToUtf8(pathName);
  if (chdir(path.c_str()) != 0) {
    const int err = errno;
    SetLastError(err == ENOENT    ? NotFoundError(path.c_str())
                 : err == ENOTDIR ? ERROR_DIRECTORY
                                  : Win32ErrorFromErrno(err));
    return FALSE;
  }
  return TRUE;
}

// Returns the length without the terminator, or when the buffer is too small
// the size it needs with the terminator; 0 on failure.
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
  std::vector<char> path(4096);
  while (!getcwd(path.data(), path.size())) {
    if (errno != ERANGE || path.size() >= (1u << 20)) {
      SetLastError(Win32ErrorFromErrno(errno));
      return 0;
    }
    path.resize(path.size() * 2);
  }
  const std::wstring wide = Utf8ToWide(path.data());
  if (!buffer || bufferLength <= wide.size()) return static_cast<DWORD>(wide.size() + 1);
  wide.copy(buffer, wide.size());
  buffer[wide.size()] = L'\0';
  return static_cast<DWORD>(wide.size());
}
