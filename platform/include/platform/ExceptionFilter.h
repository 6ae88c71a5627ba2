// The process-wide unhandled-exception filter of the Windows design. Here a
// handler for the crash signals (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT)
// stands in for it and hands the filter Windows-style exception records.
#pragma once

#include <platform/Win32Types.h>

typedef uint64_t DWORD64;

// Exception codes, as the filter and the dump trailers print them.
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_DATATYPE_MISALIGNMENT 0x80000002u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_PRIV_INSTRUCTION 0xC0000096u
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INEXACT_RESULT 0xC000008Fu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
#define EXCEPTION_FLT_OVERFLOW 0xC0000091u
#define EXCEPTION_FLT_UNDERFLOW 0xC0000093u
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define STATUS_STACK_BUFFER_OVERRUN 0xC0000409u  // what an abort reports

// Filter results.
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0

#define EXCEPTION_MAXIMUM_PARAMETERS 15

// An access violation carries two parameters: the kind of access (these
// values) and the data address that faulted.
#define EXCEPTION_READ_FAULT 0
#define EXCEPTION_WRITE_FAULT 1

struct EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  EXCEPTION_RECORD* ExceptionRecord;
  void* ExceptionAddress;  // the instruction that raised it
  DWORD NumberParameters;
  ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
typedef EXCEPTION_RECORD* PEXCEPTION_RECORD;

// Which parts of CONTEXT hold values.
#define CONTEXT_AMD64 0x00100000u
#define CONTEXT_CONTROL (CONTEXT_AMD64 | 0x1u)          // Rip, Rsp, SegCs, SegSs, EFlags
#define CONTEXT_INTEGER (CONTEXT_AMD64 | 0x2u)          // Rax .. R15, Rbp
#define CONTEXT_SEGMENTS (CONTEXT_AMD64 | 0x4u)
#define CONTEXT_FLOATING_POINT (CONTEXT_AMD64 | 0x8u)   // FltSave, MxCsr
#define CONTEXT_FULL (CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT)

// The x86-64 thread context. Its layout is the one minidump readers expect
// for an AMD64 thread, so the dump writer stores it as it is.
struct alignas(16) CONTEXT {
  DWORD64 P1Home, P2Home, P3Home, P4Home, P5Home, P6Home;
  DWORD ContextFlags;
  DWORD MxCsr;
  WORD SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
  DWORD EFlags;
  DWORD64 Dr0, Dr1, Dr2, Dr3, Dr6, Dr7;
  DWORD64 Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
  DWORD64 R8, R9, R10, R11, R12, R13, R14, R15;
  DWORD64 Rip;
  BYTE FltSave[512];  // the FXSAVE image: x87, MXCSR and the XMM registers
  BYTE VectorRegister[26 * 16];
  DWORD64 VectorControl;
  DWORD64 DebugControl;
  DWORD64 LastBranchToRip, LastBranchFromRip, LastExceptionToRip, LastExceptionFromRip;
};
static_assert(sizeof(CONTEXT) == 1232, "minidump readers expect a 1232-byte AMD64 context");
typedef CONTEXT* PCONTEXT;

struct EXCEPTION_POINTERS {
  PEXCEPTION_RECORD ExceptionRecord;
  PCONTEXT ContextRecord;
};
typedef EXCEPTION_POINTERS* PEXCEPTION_POINTERS;

typedef LONG (*LPTOP_LEVEL_EXCEPTION_FILTER)(EXCEPTION_POINTERS* exceptionInfo);

// Installs the filter (none: crashes take their previous course) and returns
// the one it replaces. The first call installs the signal handlers; every call
// gives the calling thread its alternate signal stack (InstallThreadCrashStack).
//
// The filter runs on the crashing thread inside the signal handler; one crash
// is handled at a time. After it returns, EXCEPTION_EXECUTE_HANDLER ends the
// process with the signal's default action (a parent sees the crash);
// EXCEPTION_CONTINUE_SEARCH hands the signal to the handler that was installed
// before ours, or to the default action.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

// Gives the calling thread an alternate signal stack of its own, once; it is
// freed when the thread ends. Without one, a stack overflow on the thread
// leaves the kernel no room for the crash handler, and the process ends with
// no report. Threads this layer starts (_beginthreadex, the HTTP worker) and
// QNamedThreads call it as they begin; a thread of its own making has to call
// it before it runs code that may overflow.
void InstallThreadCrashStack();

// Writes to an address no page is mapped at: the access violation that tests
// of a crash filter force. Not a write the sanitizers would stop first.
void FaultForTests();

// The signal an exception code stands for (SIGSEGV for an access violation),
// 0 for a code no crash signal produces. Dump writers record the signal for
// Linux debuggers.
int SignalFromExceptionCode(DWORD code);

// For a filter's trailer: the last `length` bytes of the file (all of a
// shorter one) into buffer; the count read, 0 when it cannot be read. Only
// open, lseek, read and close: no lock, no allocation, no other thread
// waited for, so it is safe on any crashing thread.
int ReadFileTailInCrash(const char* path, char* buffer, int length);
