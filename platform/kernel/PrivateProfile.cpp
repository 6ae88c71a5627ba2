// GetPrivateProfileStringW, GetPrivateProfileSectionW and WritePrivateProfileStringW over IniFile.
#include <QtGlobal>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "IniFile.h"
#include "KernelPaths.h"
#include "PosixIo.h"
#include <platform/Unique.h>
#include <platform/Log.h>

// Larger files are not profiles the system wrote; refusing them keeps a
// stray path from pulling a huge file into memory.
static const off_t kMaxIniBytes = 16 * 1024 * 1024;

static std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

static std::string SiblingPath(const std::string& path, const char* suffix) {
  return FolderOf(path) + "/." + BaseOf(path) + suffix;
}

// ENOENT on a file whose folder is missing is a path error, as on Windows.
static DWORD OpenError(int err) { return err == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err); }

enum class ReadResult { Ok, Missing, Failed };

static ReadResult ReadWholeFile(const std::string& path, std::string* bytes, int* error) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    *error = errno;
    return *error == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  }
  struct stat info;
  if (fstat(fd.get(), &info) != 0) {
    *error = errno;
    return ReadResult::Failed;
  }
  if (!S_ISREG(info.st_mode) || info.st_size > kMaxIniBytes) {
    PlatformLog("ini: %s is not a regular file of at most %lld bytes, ignored", path.c_str(),
             static_cast<long long>(kMaxIniBytes));
    *error = EINVAL;
    return ReadResult::Failed;
  }
  bytes->clear();
  char buffer[16384];
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return read(fd.get(), buffer, sizeof buffer); });
    if (n < 0) {
      *error = errno;
      return ReadResult::Failed;
    }
    if (n == 0) break;
    if (bytes->size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxIniBytes)) {
      PlatformLog("ini: %s grew past %lld bytes while being read, ignored", path.c_str(),
               static_cast<long long>(kMaxIniBytes));
      *error = EINVAL;
      return ReadResult::Failed;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  return ReadResult::Ok;
}

// Readers see the old file or the new one, never a part: the text goes to a
// temporary beside it, reaches the disk, and only then takes its name.
static bool ReplaceAtomically(const std::string& path, const std::string& bytes, mode_t mode, DWORD* error) {
  const std::string temp = SiblingPath(path, ".tmp");
  // Only a writer holding the lock uses the temporary, so one left by a killed
  // writer is simply overwritten.
  UniqueFd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (!fd.valid()) {
    *error = OpenError(errno);
    PlatformLog("ini: open(%s) failed, errno %d", temp.c_str(), errno);
    return false;
  }
  if ((mode != 0 && fchmod(fd.get(), mode) != 0) || !WriteFully(fd.get(), bytes.data(), bytes.size()) || fsync(fd.get()) != 0 ||
      close(fd.release()) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    PlatformLog("ini: writing %s failed, errno %d", path.c_str(), err);
    unlink(temp.c_str());
    *error = Win32ErrorFromErrno(err);
    return false;
  }
  // The rename itself reaches the disk with the folder.
  UniqueFd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) fsync(folder.get());
  return true;
}

static bool HasAny(const std::string& text, const char* characters) {
  return text.find_first_of(characters) != std::string::npos;
}

// Names and values are written as lines; a line break or a delimiter in them
// would add or hide other entries of the file.
static bool ValidEntry(const std::string& section, const std::string* key, const std::string* value) {
  if (HasAny(section, "]\r\n")) return false;
  if (key) {
    if (key->empty() || HasAny(*key, "=\r\n")) return false;
    const size_t first = key->find_first_not_of(" \t");
    if (first == std::string::npos || (*key)[first] == '[' || (*key)[first] == ';') return false;
  }
  return !value || !HasAny(*value, "\r\n");
}

static DWORD CopyText(const std::wstring& text, LPWSTR buffer, DWORD size) {
  const size_t n = std::min<size_t>(text.size(), size - 1);
  text.copy(buffer, n);
  buffer[n] = L'\0';
  return static_cast<DWORD>(n);
}

// Names one after another, each ended by a null and the list by another; a
// list that does not fit is cut and still ends in two nulls, returning size-2.
static DWORD CopyList(const std::vector<std::string>& names, LPWSTR buffer, DWORD size) {
  std::wstring list;
  for (const std::string& name : names) {
    list += Utf8ToWide(name);
    list += L'\0';
  }
  if (size < 2) {
    buffer[0] = L'\0';
    return 0;
  }
  if (list.size() + 1 <= size) {
    list.copy(buffer, list.size());
    buffer[list.size()] = L'\0';
    if (list.empty()) buffer[1] = L'\0';
    return static_cast<DWORD>(list.size());
  }
  list.copy(buffer, size - 2);
  buffer[size - 2] = L'\0';
  buffer[size - 1] = L'\0';
  return size - 2;
}

// A missing file reads as empty, as on Windows; any other read failure is logged.
static IniFile LoadProfile(LPCWSTR fileName) {
  IniFile file;
  if (!fileName) return file;
  const std::string path = WideToUtf8(fileName);
  std::string bytes;
  int err = 0;
  const ReadResult result = ReadWholeFile(path, &bytes, &err);
  if (result == ReadResult::Failed) PlatformLog("ini: reading %s failed, errno %d", path.c_str(), err);
  if (result == ReadResult::Ok) file = IniFile::Parse(bytes);
  return file;
}

DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue, LPWSTR returnedString,
                               DWORD size, LPCWSTR fileName) {
  if (!returnedString || size == 0) return 0;
  IniFile file = LoadProfile(fileName);
  if (!appName) return CopyList(file.SectionNames(), returnedString, size);
  const std::string section = WideToUtf8(appName);
  if (!keyName) return CopyList(file.KeyNames(section), returnedString, size);
  std::string value;
  if (file.Find(section, WideToUtf8(keyName), &value)) return CopyText(Utf8ToWide(value), returnedString, size);
  return CopyText(defaultValue ? std::wstring(defaultValue) : std::wstring(), returnedString, size);
}

DWORD GetPrivateProfileSectionW(LPCWSTR appName, LPWSTR returnedString, DWORD size, LPCWSTR fileName) {
  if (!returnedString || size == 0) return 0;
  IniFile file = LoadProfile(fileName);
  if (!appName) return CopyList(file.SectionNames(), returnedString, size);
  return CopyList(file.SectionEntries(WideToUtf8(appName)), returnedString, size);
}

BOOL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR value, LPCWSTR fileName) {
  if (!appName || !fileName) {
    PlatformLog("ini: write without a section or file name");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string path = WideToUtf8(fileName);
  const std::string section = WideToUtf8(appName);
  const std::string key = WideToUtf8(keyName);
  const std::string text = WideToUtf8(value);
  if (!ValidEntry(section, keyName ? &key : nullptr, value ? &text : nullptr)) {
    PlatformLog("ini: refused to write [%s] %s into %s: bad character in a name or value", section.c_str(),
             key.c_str(), path.c_str());
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }

  // Writers of other threads and processes wait here, so each one's
  // read-modify-write sees the keys the others added.
  const std::string lockPath = SiblingPath(path, ".lock");
  UniqueFd lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (!lock.valid()) {
    const int err = errno;
    PlatformLog("ini: open(%s) failed, errno %d", lockPath.c_str(), err);
    SetLastError(OpenError(err));
    return FALSE;
  }
  if (RetryFlock(lock.get(), LOCK_EX) != 0) {
    const int err = errno;
    PlatformLog("ini: flock(%s) failed, errno %d", lockPath.c_str(), err);
    SetLastError(Win32ErrorFromErrno(err));
    return FALSE;
  }

  std::string bytes;
  int err = 0;
  const ReadResult result = ReadWholeFile(path, &bytes, &err);
  if (result == ReadResult::Failed) {
    PlatformLog("ini: reading %s before a write failed, errno %d", path.c_str(), err);
    SetLastError(Win32ErrorFromErrno(err));
    return FALSE;
  }
  IniFile file = IniFile::Parse(bytes);
  bool changed = true;
  if (!keyName) {
    changed = file.DeleteSection(section);
  } else if (!value) {
    changed = file.DeleteKey(section, key);
  } else {
    file.SetValue(section, key, text);
  }
  if (!changed) return TRUE;

  mode_t mode = 0;
  struct stat info;
  if (result == ReadResult::Ok && stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;
  DWORD error = ERROR_SUCCESS;
  if (!ReplaceAtomically(path, file.Serialize(), mode, &error)) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
