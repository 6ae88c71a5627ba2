// Each crash runs in a death-test child: the filter reports on stderr what it
// was given, and the child's end shows what the process did afterwards.
#include <platform/ExceptionFilter.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "RowName.h"

#define CRASHER __attribute__((noinline, no_sanitize("address", "undefined")))

// Recurse() is meant never to end.
#pragma GCC diagnostic ignored "-Winfinite-recursion"

namespace {

volatile int g_sink;

CRASHER void WriteNull() {
  volatile int* volatile target = nullptr;
  *target = 1;
}

CRASHER void ReadBadAddress() {
  volatile int* volatile target = reinterpret_cast<volatile int*>(uintptr_t{0x10});
  g_sink = *target;
}

CRASHER void DivideByZero() {
  volatile int zero = 0;
  g_sink = 7 / zero;  // not 1: compilers turn 1 / x into compares
}

CRASHER void Trap() { __builtin_trap(); }

void Abort() { abort(); }
void RaiseBus() { raise(SIGBUS); }

// Deep enough to pass any stack limit; the array keeps each frame real.
CRASHER int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + frame[0];
}
void OverflowStack() { g_sink = Recurse(0); }

LONG g_result = EXCEPTION_EXECUTE_HANDLER;

LONG ReportingFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  char line[200];
  const int length = snprintf(
      line, sizeof(line), "filter: code=%08X at-rip=%d params=%u access=%lu address=%lX\n", record.ExceptionCode,
      record.ExceptionAddress == reinterpret_cast<void*>(pointers->ContextRecord->Rip), record.NumberParameters,
      static_cast<unsigned long>(record.ExceptionInformation[0]), static_cast<unsigned long>(record.ExceptionInformation[1]));
  if (write(STDERR_FILENO, line, static_cast<size_t>(length)) < 0) _exit(99);
  return g_result;
}

void CrashWithFilter(void (*crash)(), LONG result) {
  g_result = result;
  SetUnhandledExceptionFilter(ReportingFilter);
  crash();
  _exit(0);
}

struct SignalCase {
  const char* name;
  void (*crash)();
  int signal;
  const char* report;  // a pattern over the filter's line
};

const SignalCase kSignalCases[] = {
    {"NullWrite", WriteNull, SIGSEGV, "code=C0000005 at-rip=1 params=2 access=1 address=0\n"},
    {"BadRead", ReadBadAddress, SIGSEGV, "code=C0000005 at-rip=1 params=2 access=0 address=10\n"},
    {"StackOverflow", OverflowStack, SIGSEGV, "code=C0000005 at-rip=1 params=2 access=1"},
    {"DivideByZero", DivideByZero, SIGFPE, "code=C0000094 at-rip=1 params=0"},
    {"IllegalInstruction", Trap, SIGILL, "code=C000001D at-rip=1 params=0"},
    {"Abort", Abort, SIGABRT, "code=C0000409 at-rip=1 params=0"},
    {"RaisedBusError", RaiseBus, SIGBUS, "code=C0000006 at-rip=1 params=0"},
};

class ExceptionFilterTest : public ::testing::TestWithParam<SignalCase> {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(ExceptionFilterTest, FilterSeesTheCrashAndTheProcessStillDies) {
  EXPECT_EXIT(CrashWithFilter(GetParam().crash, EXCEPTION_EXECUTE_HANDLER), ::testing::KilledBySignal(GetParam().signal),
              GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(Signals, ExceptionFilterTest, ::testing::ValuesIn(kSignalCases), RowName());

void PreviousHandler(int, siginfo_t*, void*) {
  static const char kLine[] = "previous handler\n";
  if (write(STDERR_FILENO, kLine, sizeof(kLine) - 1) < 0) _exit(98);
  _exit(7);
}

void InstallPreviousHandler() {
  struct sigaction action {};
  action.sa_sigaction = PreviousHandler;
  action.sa_flags = SA_SIGINFO;
  sigaction(SIGSEGV, &action, nullptr);
}

TEST(ExceptionFilterChainTest, ContinueSearchHandsTheCrashToThePreviousHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        InstallPreviousHandler();
        CrashWithFilter(WriteNull, EXCEPTION_CONTINUE_SEARCH);
      },
      ::testing::ExitedWithCode(7), "filter: code=C0000005.*\nprevious handler");
}

TEST(ExceptionFilterChainTest, NoFilterHandsTheCrashToThePreviousHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        InstallPreviousHandler();
        SetUnhandledExceptionFilter(ReportingFilter);
        SetUnhandledExceptionFilter(nullptr);
        WriteNull();
      },
      ::testing::ExitedWithCode(7), "^previous handler");
}

TEST(ExceptionFilterChainTest, ContinueSearchWithoutPreviousHandlerEndsAsACrash) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        signal(SIGSEGV, SIG_DFL);
        CrashWithFilter(WriteNull, EXCEPTION_CONTINUE_SEARCH);
      },
      ::testing::KilledBySignal(SIGSEGV), "filter: code=C0000005");
}

LONG OtherFilter(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

TEST(ExceptionFilterChainTest, SetReturnsTheFilterItReplaces) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const bool ok = SetUnhandledExceptionFilter(ReportingFilter) == nullptr &&
                        SetUnhandledExceptionFilter(OtherFilter) == ReportingFilter &&
                        SetUnhandledExceptionFilter(nullptr) == OtherFilter;
        _exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

struct CodeCase {
  DWORD code;
  int signal;
};

TEST(SignalFromExceptionCodeTest, MapsEveryCrashCodeBack) {
  const CodeCase cases[] = {
      {EXCEPTION_ACCESS_VIOLATION, SIGSEGV},  {EXCEPTION_IN_PAGE_ERROR, SIGBUS},
      {EXCEPTION_ILLEGAL_INSTRUCTION, SIGILL}, {EXCEPTION_INT_DIVIDE_BY_ZERO, SIGFPE},
      {EXCEPTION_FLT_OVERFLOW, SIGFPE},       {STATUS_STACK_BUFFER_OVERRUN, SIGABRT},
      {0x12345678u, 0},
  };
  for (const CodeCase& c : cases) EXPECT_EQ(SignalFromExceptionCode(c.code), c.signal) << std::hex << c.code;
}

}  // namespace
