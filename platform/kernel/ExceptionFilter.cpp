#include <platform/ExceptionFilter.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "CrashState.h"

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kCrashSignalCount = sizeof(kCrashSignals) / sizeof(kCrashSignals[0]);

// Big enough for the filter's own work (the dump writer, the application's
// trailer text) after the thread's stack has overflowed.
constexpr size_t kAltStackSize = 256 * 1024;

// The kernel sets this in uc_flags when the saved frame holds a valid SS.
constexpr unsigned long kUcSigcontextSs = 0x2;

// The one signal <-> exception code table. A row with code 0 matches every
// si_code of its signal and must follow that signal's specific rows.
struct SignalCode {
  int signo;
  int siCode;
  DWORD exceptionCode;
};
constexpr SignalCode kSignalCodes[] = {
    {SIGSEGV, 0, EXCEPTION_ACCESS_VIOLATION},
    {SIGBUS, BUS_ADRALN, EXCEPTION_DATATYPE_MISALIGNMENT},
    {SIGBUS, 0, EXCEPTION_IN_PAGE_ERROR},
    {SIGILL, ILL_PRVOPC, EXCEPTION_PRIV_INSTRUCTION},
    {SIGILL, ILL_PRVREG, EXCEPTION_PRIV_INSTRUCTION},
    {SIGILL, 0, EXCEPTION_ILLEGAL_INSTRUCTION},
    {SIGFPE, FPE_INTDIV, EXCEPTION_INT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_INTOVF, EXCEPTION_INT_OVERFLOW},
    {SIGFPE, FPE_FLTDIV, EXCEPTION_FLT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_FLTOVF, EXCEPTION_FLT_OVERFLOW},
    {SIGFPE, FPE_FLTUND, EXCEPTION_FLT_UNDERFLOW},
    {SIGFPE, FPE_FLTRES, EXCEPTION_FLT_INEXACT_RESULT},
    {SIGFPE, 0, EXCEPTION_FLT_INVALID_OPERATION},
    {SIGABRT, 0, STATUS_STACK_BUFFER_OVERRUN},
};

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
// The thread id handling a crash, 0 when none: a second crashing thread waits
// for the first to end the process instead of writing over its dump.
std::atomic<long> g_handlingThread{0};
struct sigaction g_previous[kCrashSignalCount];
std::once_flag g_installOnce;

DWORD ExceptionCodeFor(int signo, int siCode) {
  for (const SignalCode& row : kSignalCodes) {
    if (row.signo == signo && (row.siCode == 0 || row.siCode == siCode)) return row.exceptionCode;
  }
  return EXCEPTION_ACCESS_VIOLATION;
}

int SignalIndex(int signo) {
  for (int i = 0; i < kCrashSignalCount; ++i) {
    if (kCrashSignals[i] == signo) return i;
  }
  return -1;
}

void FillContext(const ucontext_t& uc, CONTEXT* context) {
  const greg_t* r = uc.uc_mcontext.gregs;
  context->ContextFlags = CONTEXT_FULL | CONTEXT_SEGMENTS;
  context->Rax = r[REG_RAX];
  context->Rcx = r[REG_RCX];
  context->Rdx = r[REG_RDX];
  context->Rbx = r[REG_RBX];
  context->Rsp = r[REG_RSP];
  context->Rbp = r[REG_RBP];
  context->Rsi = r[REG_RSI];
  context->Rdi = r[REG_RDI];
  context->R8 = r[REG_R8];
  context->R9 = r[REG_R9];
  context->R10 = r[REG_R10];
  context->R11 = r[REG_R11];
  context->R12 = r[REG_R12];
  context->R13 = r[REG_R13];
  context->R14 = r[REG_R14];
  context->R15 = r[REG_R15];
  context->Rip = r[REG_RIP];
  context->EFlags = static_cast<DWORD>(r[REG_EFL]);
  // The saved frame packs cs, gs, fs and ss into one word, 16 bits each.
  const uint64_t segments = static_cast<uint64_t>(r[REG_CSGSFS]);
  context->SegCs = static_cast<WORD>(segments);
  context->SegGs = static_cast<WORD>(segments >> 16);
  context->SegFs = static_cast<WORD>(segments >> 32);
  if (uc.uc_flags & kUcSigcontextSs) context->SegSs = static_cast<WORD>(segments >> 48);
  if (uc.uc_mcontext.fpregs) {
    static_assert(sizeof(*uc.uc_mcontext.fpregs) == sizeof(context->FltSave), "FXSAVE image");
    memcpy(context->FltSave, uc.uc_mcontext.fpregs, sizeof(context->FltSave));
    context->MxCsr = uc.uc_mcontext.fpregs->mxcsr;
  }
}

void FillRecord(int signo, const siginfo_t& info, const ucontext_t& uc, EXCEPTION_RECORD* record) {
  record->ExceptionCode = ExceptionCodeFor(signo, info.si_code);
  record->ExceptionAddress = reinterpret_cast<void*>(uc.uc_mcontext.gregs[REG_RIP]);
  if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return;
  // Bit 1 of the page-fault error code tells a write from a read.
  const bool write = (uc.uc_mcontext.gregs[REG_ERR] & 0x2) != 0;
  record->NumberParameters = 2;
  record->ExceptionInformation[0] = write ? EXCEPTION_WRITE_FAULT : EXCEPTION_READ_FAULT;
  record->ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info.si_addr);
}

long CurrentThreadId() { return syscall(SYS_gettid); }

void WaitForOtherCrash() {
  // The first crashing thread ends the process; should it hang, end it here.
  timespec slice{0, 50 * 1000 * 1000};
  for (int i = 0; i < 600 && g_handlingThread.load() != 0; ++i) nanosleep(&slice, nullptr);
}

void ResetToDefault(int signo) {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signo, &action, nullptr);
}

// A fault the kernel raised repeats when the handler returns; a signal that was
// sent (abort, kill) does not, so it is sent again. It stays blocked until the
// handler returns, when the now default action ends the process.
void RaiseAgainOnReturn(int signo, const siginfo_t& info) {
  if (info.si_code > 0 && signo != SIGABRT) return;
  syscall(SYS_tgkill, getpid(), CurrentThreadId(), signo);
}

void PassToPrevious(int signo, siginfo_t* info, void* uc) {
  const int index = SignalIndex(signo);
  const struct sigaction previous = g_previous[index];
  if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
    previous.sa_sigaction(signo, info, uc);
    return;
  }
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler) {
    previous.sa_handler(signo);
    return;
  }
  // Ignoring a crash signal would spin on the faulting instruction.
  ResetToDefault(signo);
  RaiseAgainOnReturn(signo, *info);
}

void OnCrashSignal(int signo, siginfo_t* info, void* ucontext) {
  const int savedErrno = errno;
  const long self = CurrentThreadId();
  long idle = 0;
  if (!g_handlingThread.compare_exchange_strong(idle, self)) {
    WaitForOtherCrash();
    ResetToDefault(signo);
    RaiseAgainOnReturn(signo, *info);
    errno = savedErrno;
    return;
  }

  LONG result = EXCEPTION_CONTINUE_SEARCH;
  if (LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load()) {
    // Static: the alternate stack is small, and one crash is handled at a time.
    static CONTEXT context;
    static EXCEPTION_RECORD record;
    memset(&context, 0, sizeof(context));
    memset(&record, 0, sizeof(record));
    const auto* uc = static_cast<const ucontext_t*>(ucontext);
    FillContext(*uc, &context);
    FillRecord(signo, *info, *uc, &record);
    EXCEPTION_POINTERS pointers{&record, &context};
    result = filter(&pointers);
  }

  if (result == EXCEPTION_CONTINUE_SEARCH) {
    g_handlingThread.store(0);
    PassToPrevious(signo, info, ucontext);
  } else {
    ResetToDefault(signo);
    RaiseAgainOnReturn(signo, *info);
  }
  errno = savedErrno;
}

// The calling thread's own alternate stack, from the first install until the
// thread ends. One guard page below it, so an overflow of the handler itself
// faults instead of running into other memory.
class ThreadCrashStack {
 public:
  ThreadCrashStack() = default;
  ThreadCrashStack(const ThreadCrashStack&) = delete;
  ThreadCrashStack& operator=(const ThreadCrashStack&) = delete;
  ~ThreadCrashStack() {
    if (base_ == nullptr) return;
    // The kernel would go on using the stack after it is unmapped.
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    if (sigaltstack(&off, nullptr) != 0) return;  // only fails while on it: keep it
    munmap(base_, mappedSize_);
  }

  void Install() {
    if (base_ != nullptr) return;
    stack_t current;
    // One the thread already has (a sanitizer's, a library's) is kept when big enough.
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
        current.ss_size >= kAltStackSize) {
      return;
    }
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* base = mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return;
    mprotect(base, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(base) + page;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
      munmap(base, kAltStackSize + page);
      return;
    }
    base_ = base;
    mappedSize_ = kAltStackSize + page;
  }

 private:
  void* base_ = nullptr;
  size_t mappedSize_ = 0;
};

thread_local ThreadCrashStack t_crashStack;

void InstallHandlers() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_sigaction = OnCrashSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  // A second fault while the filter runs finds its signal blocked, which makes
  // the kernel end the process at once instead of recursing.
  sigemptyset(&action.sa_mask);
  for (int signo : kCrashSignals) sigaddset(&action.sa_mask, signo);
  for (int i = 0; i < kCrashSignalCount; ++i) sigaction(kCrashSignals[i], &action, &g_previous[i]);
}

}  // namespace

bool CrashInProgress() { return g_handlingThread.load() != 0; }

void InstallThreadCrashStack() { t_crashStack.Install(); }

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  InstallThreadCrashStack();
  std::call_once(g_installOnce, InstallHandlers);
  return g_filter.exchange(filter);
}

int SignalFromExceptionCode(DWORD code) {
  for (const SignalCode& row : kSignalCodes) {
    if (row.exceptionCode == code) return row.signo;
  }
  return 0;
}

// The sanitizers would report the null store and end the process before the
// signal the crash filter is tested with.
__attribute__((noinline, no_sanitize("address", "undefined"))) void FaultForTests() {
  static int* volatile nowhere = nullptr;
  *nowhere = 1;
}
