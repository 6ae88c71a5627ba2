// Kernel file and folder calls of the Windows design (kernel32), on POSIX.
// Kernel.h includes this header; the handle calls work on CreateFileW handles.
#pragma once

#include <platform/Win32Types.h>

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
// FILE_ATTRIBUTE_NORMAL (0x80) is in Kernel.h.
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

// Access rights beside GENERIC_READ and GENERIC_WRITE.
#define FILE_READ_DATA 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u
#define FILE_GENERIC_READ 0x00120089u
#define FILE_GENERIC_WRITE 0x00120116u
#define FILE_SHARE_DELETE 0x00000004u

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define ERROR_NOT_SAME_DEVICE 17u
#define ERROR_NO_MORE_FILES 18u

// 100-nanosecond intervals since 1601-01-01 (UTC).
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME* LPFILETIME;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;  // Linux keeps no creation time: the last change of the entry
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};
typedef ULARGE_INTEGER* PULARGE_INTEGER;

// Attributes of a file or folder. A symbolic link is never followed: it
// reports FILE_ATTRIBUTE_REPARSE_POINT, and never FILE_ATTRIBUTE_DIRECTORY,
// so a folder walk treats it as a file and removes the link, not its target.
// FILE_ATTRIBUTE_READONLY stands for a file without the owner's write bit.
DWORD GetFileAttributesW(LPCWSTR fileName);
// Only FILE_ATTRIBUTE_READONLY changes anything; the other bits are accepted.
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
// Windows runs any program file; Linux only one whose mode says so, and a
// file written by us never does. Gives target the read, write and run bits of
// model (no set-id bits), so that a fetched program replacing an installed one
// stays runnable. Both names are followed through links.
BOOL CopyFileModeW(LPCWSTR model, LPCWSTR target);

// Enumeration of "folder/pattern" ('*' any run, '?' one character; "*.*"
// matches every name, dotless ones too), or of one named entry. "." and ".."
// come as on Windows. Names are read when the search starts.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData);
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findFileData);  // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE findFile);

// A folder given to DeleteFileW fails with ERROR_ACCESS_DENIED, as on Windows.
BOOL DeleteFileW(LPCWSTR fileName);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryW(LPCWSTR pathName);
BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes);
// The mount point that holds the path (a file or folder that exists), with
// a trailing '/': what a drive root is on Windows. Fails with
// ERROR_INSUFFICIENT_BUFFER when it does not fit with its terminator.
BOOL GetVolumePathNameW(LPCWSTR fileName, LPWSTR volumePathName, DWORD bufferLength);

// Calls on a CreateFileW handle. SetFileTime ignores the creation time (Linux
// keeps none); a null time is left as it is.
BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);
BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);  // INVALID_FILE_SIZE with the error set on failure
BOOL SetEndOfFile(HANDLE file);                         // at the current position
BOOL FlushFileBuffers(HANDLE file);

// Both keep the source's last-write time and replace the target atomically:
// the data goes to a temporary file beside the target, which is then renamed
// over it, so a process killed meanwhile leaves either the old or the new
// target. A target held by one of our processes with a share mode that denies
// writing fails with ERROR_SHARING_VIOLATION.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
// A rename; across file systems only with MOVEFILE_COPY_ALLOWED (a copy as
// above, then the source is removed). Without MOVEFILE_REPLACE_EXISTING an
// existing target fails with ERROR_ALREADY_EXISTS.
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);
