// FindFirstFileW / FindNextFileW / FindClose over readdir and lstat.
#include <platform/KernelFiles.h>

#include <dirent.h>
#include <sys/stat.h>

#include <platform/Kernel.h>
#include <platform/Strings.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "FileInfo.h"
#include "KernelObject.h"
#include "KernelPaths.h"

namespace {

class FindObject : public KernelObject {
 public:
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
};

bool HasWildcard(const std::wstring& pattern) { return pattern.find_first_of(L"*?") != std::wstring::npos; }

// '*' any run of characters, '?' exactly one; iterative with one backtrack
// point, so no pattern costs more than length x length.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
  if (pattern == L"*.*" || pattern == L"*") return true;
  size_t p = 0, n = 0, starP = std::wstring::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::wstring::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool FillEntry(const std::string& path, const std::wstring& name, WIN32_FIND_DATAW* data) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return false;
  if (name.size() >= MAX_PATH) return false;  // cannot be reported whole
  *data = WIN32_FIND_DATAW{};
  data->dwFileAttributes = AttributesFromStat(info);
  data->ftCreationTime = FileTimeFromTimespec(info.st_ctim);
  data->ftLastAccessTime = FileTimeFromTimespec(info.st_atim);
  data->ftLastWriteTime = FileTimeFromTimespec(info.st_mtim);
  const uint64_t size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  name.copy(data->cFileName, name.size());
  data->cFileName[name.size()] = L'\0';
  return true;
}

// The entries of folder whose names match pattern, in directory order.
bool ReadFolder(const std::string& folder, const std::wstring& pattern, std::vector<WIN32_FIND_DATAW>* entries) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    const int err = errno;
    SetLastError(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(err));
    return false;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> owner(dir, closedir);
  const std::string prefix = folder == "/" ? folder : folder + "/";
  while (struct dirent* entry = readdir(dir)) {
    const std::wstring name = Utf8ToWide(entry->d_name);
    if (!Matches(pattern, name)) continue;
    WIN32_FIND_DATAW data;
    // An entry removed since readdir saw it is simply not reported.
    if (FillEntry(prefix + entry->d_name, name, &data)) entries->push_back(data);
  }
  return true;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData) {
  if (!fileName || !findFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::wstring whole(fileName);
  const size_t slash = whole.rfind(L'/');
  const std::wstring last = slash == std::wstring::npos ? whole : whole.substr(slash + 1);
  auto find = std::make_shared<FindObject>();
  if (last.empty()) {  // "folder/": Windows finds nothing either
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (HasWildcard(last)) {
    const std::wstring folder = slash == std::wstring::npos ? L"." : slash == 0 ? L"/" : whole.substr(0, slash);
    if (!ReadFolder(WideToUtf8(folder), last, &find->entries)) return INVALID_HANDLE_VALUE;
  } else {
    const std::string path = WideToUtf8(whole);
    WIN32_FIND_DATAW data;
    if (!FillEntry(path, last, &data)) {
      const int err = errno;
      SetLastError(err == ENOENT ? NotFoundError(path.c_str()) : Win32ErrorFromErrno(err));
      return INVALID_HANDLE_VALUE;
    }
    find->entries.push_back(data);
  }
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *findFileData = find->entries[0];
  find->next = 1;
  SetLastError(ERROR_SUCCESS);
  return RegisterObject(std::move(find));
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData) {
  std::shared_ptr<FindObject> find = LookupObjectAs<FindObject>(findFile);
  if (!find || !findFileData) {
    SetLastError(find ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *findFileData = find->entries[find->next++];
  return TRUE;
}

BOOL FindClose(HANDLE findFile) {
  if (!LookupObjectAs<FindObject>(findFile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(findFile);
}
