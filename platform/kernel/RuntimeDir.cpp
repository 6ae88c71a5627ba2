#include "RuntimeDir.h"

#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Log.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

// A folder we may keep objects in: a real folder (no link) that belongs to us
// and that no one else can write to or look into.
static bool IsPrivateFolder(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

static bool MakePrivateFolder(const std::string& path, DWORD* error) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    const int err = errno;
    PlatformLog("kernel: mkdir(%s) failed, errno %d", path.c_str(), err);
    *error = Win32ErrorFromErrno(err);
    return false;
  }
  if (!IsPrivateFolder(path)) {
    PlatformLog("kernel: %s is not a private folder of uid %u, not used", path.c_str(), static_cast<unsigned>(getuid()));
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  return true;
}

std::string NamedObjectFolder(DWORD* error) {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && IsPrivateFolder(runtime)) {
    const std::string folder = std::string(runtime) + "/corvane";
    DWORD ignored = ERROR_SUCCESS;
    if (MakePrivateFolder(folder, &ignored)) return folder;
  }
  const std::string folder = "/tmp/corvane-" + std::to_string(getuid());
  if (!MakePrivateFolder(folder, error)) return std::string();
  return folder;
}

static bool IsPlainChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.';
}

static bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

std::string NamedObjectPath(const std::string& folder, const char* kind, const std::wstring& name) {
  std::wstring plain = name;
  std::string space;
  if (StartsWith(plain, L"Local\\")) {
    plain = plain.substr(6);
  } else if (StartsWith(plain, L"Global\\")) {
    plain = plain.substr(7);
    space = "global-";
  }
  std::string escaped;
  for (unsigned char c : WideToUtf8(plain)) {
    if (IsPlainChar(c)) {
      escaped += static_cast<char>(c);
      continue;
    }
    char hex[4];
    snprintf(hex, sizeof hex, "%%%02X", c);
    escaped += hex;
  }
  // File names stop at 255 bytes; a long name keeps a prefix and a hash of
  // the whole, so two long names stay two objects.
  const size_t kKeep = 160;
  if (escaped.size() > kKeep + 40) {
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char c : escaped) hash = (hash ^ c) * 1099511628211ull;
    char tail[24];
    snprintf(tail, sizeof tail, "~%016llx", hash);
    escaped = escaped.substr(0, kKeep) + tail;
  }
  return folder + "/" + kind + "." + space + escaped;
}
