#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtGlobal>
#include <cerrno>
#include <string>
#include <vector>

#include "KernelPaths.h"

// The link of a file replaced or removed since we started ends in
// " (deleted)"; the folder we ran from is still the one the caller wants.
static std::string WithoutDeletedMark(std::string path) {
  static const std::string kMark = " (deleted)";
  struct stat info;
  if (path.size() > kMark.size() && path.compare(path.size() - kMark.size(), kMark.size(), kMark) == 0 &&
      lstat(path.c_str(), &info) != 0) {
    path.resize(path.size() - kMark.size());
  }
  return path;
}

static std::string ReadExecutableLink(const std::string& link) {
  for (size_t capacity = 256; capacity <= (1u << 16); capacity *= 2) {
    std::vector<char> buffer(capacity);
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < buffer.size()) {
      return WithoutDeletedMark(std::string(buffer.data(), static_cast<size_t>(length)));
    }
  }
  errno = ENAMETOOLONG;
  return std::string();
}

std::string ExecutablePathOf(pid_t pid) { return ReadExecutableLink("/proc/" + std::to_string(pid) + "/exe"); }

// /proc/self/exe names the executable of the process whichever module asks,
// which is what the design wants from the SDK library too.
static std::string ExecutablePath() { return ReadExecutableLink("/proc/self/exe"); }

// Read when the program loads: the install renames the running updater, and
// the link would then name the new file instead of the one we started as.
static const std::string s_startPath = ExecutablePath();
static const int s_startError = s_startPath.empty() ? errno : 0;

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (module) {
    PlatformLog("GetModuleFileNameW: only the null module is supported");
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!fileName && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string path = s_startPath.empty() ? ExecutablePath() : s_startPath;
  if (path.empty()) {
    const int err = s_startError ? s_startError : errno;
    PlatformLog("GetModuleFileNameW: readlink(/proc/self/exe) failed, errno %d", err);
    SetLastError(Win32ErrorFromErrno(err));
    return 0;
  }
  const std::wstring wide = Utf8ToWide(path);
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // Too small: as Windows since Vista, the path cut to size - 1 characters and
  // terminated, the size returned and ERROR_INSUFFICIENT_BUFFER.
  if (wide.size() >= size) {
    wide.copy(fileName, size - 1);
    fileName[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  wide.copy(fileName, wide.size());
  fileName[wide.size()] = L'\0';
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(wide.size());
}

const std::string& StartExecutablePath() { return s_startPath; }
