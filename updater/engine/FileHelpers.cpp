#include "FileHelpers.h"

#include <atomic>

#include "PathHelpers.h"
#include "WinFile.h"

namespace {

const DWORD kDeletePauseMs = 200;
const DWORD kCopyPauseMs = 300;
std::atomic<DWORD> s_deletePauseMs{kDeletePauseMs};
std::atomic<DWORD> s_copyPauseMs{kCopyPauseMs};

const int64_t kEpochDifference = 116444736000000000LL;

bool CreateTree(const std::wstring& path) {
  if (path.empty() || IsPathExist(path)) return true;
  const size_t slash = path.rfind(L'/');
  if (slash != std::wstring::npos && slash >= 1 && !CreateTree(path.substr(0, slash))) return false;
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

}  // namespace

bool CreateDirTree(const std::wstring& path) {
  std::wstring copy = path;
  for (wchar_t& c : copy) {
    if (c == L'\\') c = L'/';
  }
  while (!copy.empty() && copy.back() == L'/') copy.pop_back();
  return CreateTree(copy);
}

bool ClearupFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    if (IsDotEntry(data.cFileName)) continue;
    const std::wstring path = folder + data.cFileName;
    // A link reports no folder attribute: it is removed, its target is not touched.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!DeleteFolder(path + L"/")) ok = false;
    } else if (!DeleteFileEx(path, false)) {
      ok = false;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return ok;
}

bool DeleteFolder(const std::wstring& folder) {
  return ClearupFolder(folder) && RemoveDirectoryW(folder.c_str()) != FALSE;
}

void ClearReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
}

bool DeleteFileEx(const std::wstring& path, bool failIfMissing) {
  if (!IsPathExist(path)) return !failIfMissing;
  ClearReadOnly(path);
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD error = GetLastError();
    Sleep(s_deletePauseMs.load());
    SetLastError(error);  // the caller logs why the last attempt failed
  }
  return false;
}

bool CopyFileRetry(const std::wstring& from, const std::wstring& to, bool failIfExists) {
  for (int attempt = 0; attempt < 15; ++attempt) {
    if (CopyFileW(from.c_str(), to.c_str(), failIfExists)) return true;
    const DWORD error = GetLastError();
    Sleep(s_copyPauseMs.load());
    SetLastError(error);
  }
  return false;
}

bool GetFileFindData(const std::wstring& path, WIN32_FIND_DATAW& data) {
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

DWORD GetFileSize32(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  return GetFileFindData(path, data) ? data.nFileSizeLow : 0;
}

uint32_t FileTimeToUnixTime(const FILETIME& time) {
  const int64_t value = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return static_cast<uint32_t>((value - kEpochDifference) / 10000000LL);
}

// The stored word is unsigned, as FileTimeToUnixTime gives it: read as signed
// it would turn every time after January 2038 into one before 1970.
FILETIME UnixTimeToFileTime(uint32_t seconds) {
  const uint64_t value = static_cast<uint64_t>(seconds) * 10000000ULL + static_cast<uint64_t>(kEpochDifference);
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

bool SetFileUnixTime(const std::wstring& path, uint32_t seconds) {
  CWinFile file;
  if (!file.Open(path, CWinFile::modeRead | CWinFile::modeWrite, /*create=*/false, /*truncate=*/false)) return false;
  const FILETIME time = UnixTimeToFileTime(seconds);
  return SetFileTime(file.Handle(), &time, &time, &time) != FALSE;
}

void SetRetryPausesForTests(DWORD deletePauseMs, DWORD copyPauseMs) {
  s_deletePauseMs.store(deletePauseMs ? deletePauseMs : kDeletePauseMs);
  s_copyPauseMs.store(copyPauseMs ? copyPauseMs : kCopyPauseMs);
}
