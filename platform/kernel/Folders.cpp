#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

// Windows tells a missing folder from a missing parent.
static DWORD MissingFolderError(const std::string& path) {
  std::string parent = path;
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  const size_t slash = parent.rfind('/');
  parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : parent.substr(0, slash));
  struct stat info;
  return stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

BOOL SetCurrentDirectoryW(LPCWSTR pathName) {
  if (!pathName || !*pathName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string path = WideToUtf8(pathName);
  if (chdir(path.c_str()) != 0) {
    const int err = errno;
    SetLastError(err == ENOENT    ? MissingFolderError(path)
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
