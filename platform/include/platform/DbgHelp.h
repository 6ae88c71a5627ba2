// The minidump writer of the Windows design (dbghelp), for the current process.
#pragma once

#include <platform/ExceptionFilter.h>
#include <platform/Win32Types.h>

enum MINIDUMP_TYPE : int {  // a flags word: any value is representable
  MiniDumpNormal = 0,  // every thread's context and stack, the module list
};

struct MINIDUMP_EXCEPTION_INFORMATION {
  DWORD ThreadId;
  PEXCEPTION_POINTERS ExceptionPointers;
  BOOL ClientPointers;  // the pointers are the dumped process's own: always so here
};
typedef MINIDUMP_EXCEPTION_INFORMATION* PMINIDUMP_EXCEPTION_INFORMATION;

// Writes a minidump of the current process into the file at its current
// position: system information, every thread (the excepting thread with the
// given context and its stack, the others with the registers and stacks that
// can be read without stopping them), the memory list of those stacks, the
// exception, the loaded ELF modules with their build ids, and the Linux
// process files (maps, status, command line, auxiliary vector).
//
// Async-signal-safe, so a crash filter may call it: no allocation, no lock, no
// stdio. Supported: the current process, MiniDumpNormal, exception information
// given, no user or callback streams; anything else fails with
// ERROR_INVALID_PARAMETER (ERROR_NOT_SUPPORTED for another process). Only one
// dump is written at a time; a concurrent call fails with ERROR_BUSY.
BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE dumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION exceptionParam, LPVOID userStreamParam,
                       LPVOID callbackParam);
