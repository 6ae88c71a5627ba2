// Kernel calls of the Windows design (kernel32 and version.dll), on POSIX.
#pragma once

#include <platform/Win32Types.h>

// Errors. The last error is per thread, as on Windows.
DWORD GetLastError();
void SetLastError(DWORD error);
// The only errno -> Win32 table; unknown numbers give ERROR_GEN_FAILURE.
DWORD Win32ErrorFromErrno(int err);

// Handles of every kernel object kind.
BOOL CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
HANDLE GetCurrentProcess();  // a pseudo handle, never closed
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// Processes. A command line is split with the Windows quoting rules and
// started without a shell; the child inherits no descriptor beyond 0-2.
// Linux keeps 8 bits of an exit status (-1 reads as 255); only the code given
// to TerminateProcess is kept whole, in our own handle. A child ended by a
// signal we did not send reports 128 + the signal number.
#define STARTF_USESHOWWINDOW 0x00000001u
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SYNCHRONIZE 0x00100000u
#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u
#define STILL_ACTIVE 259u
#define CREATE_NO_WINDOW 0x08000000u
#define ERROR_DIRECTORY 267u  // the current folder given to CreateProcess is not one

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};
struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};
typedef STARTUPINFOA* LPSTARTUPINFOA;
typedef STARTUPINFOW* LPSTARTUPINFOW;
struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
// Refused (ERROR_ACCESS_DENIED) when the process has ended or its pid now runs
// another executable than when the handle was opened.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// The code of a process we did not start is unknown once its parent has
// reaped it: FALSE with ERROR_NOT_SUPPORTED.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// Not a Windows call: a recorded pid may since have been handed to another
// program, which must never be ended in our place. TRUE only when the process
// runs the same executable file as this one.
BOOL ProcessRunsOwnExecutable(DWORD processId);
// Not a Windows call either: TRUE only when the process runs an executable of
// the same file name as this one, in any folder, so that a staged copy of a
// program counts as that program. A file replaced since it started still
// counts under its name.
BOOL ProcessRunsProgramOfOwnName(DWORD processId);

// Module, folders, time, version.
// Only the null module (the running executable, also when a shared library
// asks) is supported.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
BOOL SetCurrentDirectoryW(LPCWSTR pathName);
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
void Sleep(DWORD milliseconds);
DWORD GetTickCount();
DWORD GetVersion();  // 6.2, as newer Windows reports to programs without a manifest

// Private-profile ini files, UTF-8 on disk. Every write replaces the file
// atomically under a lock (".<name>.lock" beside it), so a killed writer or a
// writer in another process never loses or half-writes it. Names and values
// that would break the line structure (line breaks, '=' in a key, ']' in a
// section) are refused with ERROR_INVALID_PARAMETER.
DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue, LPWSTR returnedString,
                               DWORD size, LPCWSTR fileName);
BOOL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR value, LPCWSTR fileName);
// Every entry of the first section of that name, in file order, each ended by
// a null and the list by another (cut to the buffer as the name lists are).
// A key line comes back as key=value, as GetPrivateProfileStringW reads it, and
// duplicate keys all come back; any other line of the section comes back
// trimmed, as it stands; blank lines and ';' comment lines are left out.
DWORD GetPrivateProfileSectionW(LPCWSTR appName, LPWSTR returnedString, DWORD size, LPCWSTR fileName);

// File version records, read from the ELF note that corvane_add_version_record
// (cmake/VersionRecord.cmake) puts in each executable and shared library. A
// file without one fails with ERROR_RESOURCE_TYPE_NOT_FOUND. The only sub-block
// is "\\", the VS_FIXEDFILEINFO.
#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VFT_APP 0x00000001u
#define VFT_DLL 0x00000002u
struct VS_FIXEDFILEINFO {
  DWORD dwSignature;  // 0xFEEF04BD
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

// Named kernel objects, alive while some process holds them open: files in a
// per-user runtime folder, with flock marking who holds them. A mapping or
// event nobody holds is new (zero-filled, unsignalled) for its next creator;
// a mutex whose holder died gives WAIT_ABANDONED to its next owner. Only
// page-file backed mappings (file INVALID_HANDLE_VALUE) exist.
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u
#define MUTEX_ALL_ACCESS 0x001F0001u

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name);
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     size_t numberOfBytesToMap);
BOOL UnmapViewOfFile(LPCVOID baseAddress);
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
HANDLE OpenEventW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Files. A file handle wraps a descriptor without allocating, so the crash
// path may create and write one.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID overlapped);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);

// The file and folder calls.
#include <platform/KernelFiles.h>
