// Folder and file helpers with the retry counts and pauses that let file
// replacement outlast virus scanners and slowly closing processes. Results
// only: callers log, with GetLastError for the reason.
#pragma once

#include <platform/Kernel.h>

#include <cstdint>
#include <string>

// Creates every missing level ('\' counts as '/', trailing ones are ignored).
bool CreateDirTree(const std::wstring& path);
// Removes everything inside folder (ending in '/'), going on after a failure;
// links are removed, never followed. A missing folder counts as empty.
bool ClearupFolder(const std::wstring& folder);
bool DeleteFolder(const std::wstring& folder);
void ClearReadOnly(const std::wstring& path);
// A missing file gives !failIfMissing. Up to 10 attempts, 200 ms apart.
bool DeleteFileEx(const std::wstring& path, bool failIfMissing);
// Up to 15 attempts, 300 ms apart.
bool CopyFileRetry(const std::wstring& from, const std::wstring& to, bool failIfExists);
bool GetFileFindData(const std::wstring& path, WIN32_FIND_DATAW& data);
// The low 32 bits of the size; 0 for a missing file.
DWORD GetFileSize32(const std::wstring& path);

// Seconds since 1970 in 32 bits, as the update description stores them.
uint32_t FileTimeToUnixTime(const FILETIME& time);
FILETIME UnixTimeToFileTime(uint32_t seconds);
// Creation, access and write time of an existing file.
bool SetFileUnixTime(const std::wstring& path, uint32_t seconds);

// Tests shorten the pauses between attempts; 0 restores the real ones.
void SetRetryPausesForTests(DWORD deletePauseMs, DWORD copyPauseMs);
