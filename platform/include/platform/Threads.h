// Threads, critical sections, waits on several objects, the error mode,
// debugger output, local time and UUIDs of the Windows design, on POSIX.
#pragma once

#include <platform/Win32Types.h>

#ifndef ERROR_OPERATION_ABORTED
#define ERROR_OPERATION_ABORTED 995u
#endif

// Threads. A thread handle is signalled once the thread function has
// returned; every wait holds its own reference to the thread, so a handle
// closed by another thread while someone waits on it does not end the wait.
//
// Suspending is cooperative: the thread pauses at its next wait, sleep or
// message fetch made while it holds no critical section, so it is never
// frozen holding a lock another thread needs. SuspendThread and ResumeThread
// return the previous suspend count, or (DWORD)-1 on failure.
//
// A thread cannot be ended from outside without leaking what it holds:
// TerminateThread refuses with ERROR_NOT_SUPPORTED and logs the attempt.
uintptr_t _beginthreadex(void* security, unsigned stackSize, unsigned (*start)(void*), void* arg,
                         unsigned initFlag, unsigned* threadId);
DWORD SuspendThread(HANDLE thread);
DWORD ResumeThread(HANDLE thread);
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// A second handle to the same object in this process (the only process
// supported); it must be closed on its own.
#define DUPLICATE_CLOSE_SOURCE 0x00000001u
#define DUPLICATE_SAME_ACCESS 0x00000002u
BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD access,
                     BOOL inheritHandle, DWORD options);

// Recursive, within one process. The storage is inside the record, so
// initialising one never fails.
struct CRITICAL_SECTION {
  alignas(8) unsigned char opaque[48];
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// Waits until any one of the objects (events, processes, threads, mutexes) is
// signalled: WAIT_OBJECT_0 + its index, the lowest when several are. Waiting
// for all of them is not supported (ERROR_NOT_SUPPORTED).
#define MAXIMUM_WAIT_OBJECTS 64u
#define WAIT_ABANDONED_0 WAIT_ABANDONED
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// There are no critical-error boxes to suppress: the mode is only kept.
#define SEM_FAILCRITICALERRORS 0x0001u
#define SEM_NOGPFAULTERRORBOX 0x0002u
#define SEM_NOOPENFILEERRORBOX 0x8000u
UINT SetErrorMode(UINT mode);

// A Linux process has no input-idle state to wait for: returns 0 at once for
// a valid process handle.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);

// Debugger output goes to stderr, as it is.
void OutputDebugStringA(LPCSTR text);
void OutputDebugStringW(LPCWSTR text);

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;
void GetLocalTime(LPSYSTEMTIME time);

// Random (version 4) UUIDs and their 36-character lower-case text.
struct UUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
typedef long RPC_STATUS;
typedef WCHAR* RPC_WSTR;
#define RPC_S_OK 0
#define RPC_S_OUT_OF_MEMORY 14
#define RPC_S_UUID_NO_ADDRESS 1739
RPC_STATUS UuidCreate(UUID* uuid);
// The text is allocated: free it with RpcStringFreeW.
RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text);
RPC_STATUS RpcStringFreeW(RPC_WSTR* text);
