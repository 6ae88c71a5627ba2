#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/Threads.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kWaitMs = 10000;  // only a failing test reaches it

struct Gate {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> steps{0};
  ~Gate() { CloseHandle(release); }
};

unsigned WaitForGate(void* context) {
  auto* gate = static_cast<Gate*>(context);
  WaitForSingleObject(gate->release, kWaitMs);
  return 42;
}

// Counts steps, sleeping between them, until the gate opens.
unsigned CountSteps(void* context) {
  auto* gate = static_cast<Gate*>(context);
  while (WaitForSingleObject(gate->release, 0) == WAIT_TIMEOUT) {
    ++gate->steps;
    Sleep(1);
  }
  return 0;
}

HANDLE Begin(unsigned (*body)(void*), void* context, unsigned* threadId = nullptr) {
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, context, 0, threadId));
}

TEST(Threads, HandleSignalsWithExitCodeOnceTheFunctionReturns) {
  Gate gate;
  unsigned threadId = 0;
  HANDLE thread = Begin(WaitForGate, &gate, &threadId);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(threadId, 0u);
  EXPECT_NE(threadId, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  SetEvent(gate.release);
  EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, WaitOutlivesTheHandleBeingClosedElsewhere) {
  Gate gate;
  HANDLE thread = Begin(WaitForGate, &gate);
  ASSERT_NE(thread, nullptr);
  HANDLE own = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  std::atomic<DWORD> result{WAIT_FAILED};
  std::thread waiter([&] { result = WaitForSingleObject(own, kWaitMs); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_TRUE(CloseHandle(own));  // the waiter's reference is its own
  SetEvent(gate.release);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(own, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Threads, SuspendPausesAtTheNextSleepAndResumeContinues) {
  Gate gate;
  HANDLE thread = Begin(CountSteps, &gate);
  ASSERT_NE(thread, nullptr);
  while (gate.steps < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(SuspendThread(thread), 0u);
  EXPECT_EQ(SuspendThread(thread), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it reach a checkpoint
  const int paused = gate.steps;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_LE(gate.steps - paused, 1) << "a suspended thread went on sleeping and counting";
  EXPECT_EQ(ResumeThread(thread), 2u);
  EXPECT_EQ(ResumeThread(thread), 1u);
  const int resumed = gate.steps;
  while (gate.steps < resumed + 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  SetEvent(gate.release);
  EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  EXPECT_EQ(ResumeThread(thread), 0u);
  CloseHandle(thread);
}

struct SectionHolder {
  CRITICAL_SECTION section;
  HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

unsigned HoldSectionWhileWaiting(void* context) {
  auto* holder = static_cast<SectionHolder*>(context);
  EnterCriticalSection(&holder->section);
  SetEvent(holder->entered);
  WaitForSingleObject(holder->release, kWaitMs);  // no pause here: the section is held
  LeaveCriticalSection(&holder->section);
  Sleep(1);
  return 0;
}

TEST(Threads, SuspendedThreadIsNotPausedHoldingACriticalSection) {
  SectionHolder holder;
  InitializeCriticalSection(&holder.section);
  HANDLE thread = Begin(HoldSectionWhileWaiting, &holder);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(holder.entered, kWaitMs), WAIT_OBJECT_0);
  SuspendThread(thread);
  SetEvent(holder.release);
  // The thread leaves the section, then pauses at its Sleep.
  EnterCriticalSection(&holder.section);
  LeaveCriticalSection(&holder.section);
  EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
  ResumeThread(thread);
  EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(holder.entered);
  CloseHandle(holder.release);
  DeleteCriticalSection(&holder.section);
}

TEST(Threads, TerminateIsRefused) {
  Gate gate;
  HANDLE thread = Begin(WaitForGate, &gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(TerminateThread(thread, 3));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
  SetEvent(gate.release);
  EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(Threads, BadHandlesAndFlagsFail) {
  EXPECT_EQ(SuspendThread(nullptr), static_cast<DWORD>(-1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(ResumeThread(event), static_cast<DWORD>(-1));
  CloseHandle(event);
  Gate gate;
  EXPECT_EQ(_beginthreadex(nullptr, 0, WaitForGate, &gate, /*CREATE_SUSPENDED=*/4, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

unsigned EnterTwiceAndCount(void* context) {
  auto* shared = static_cast<std::pair<CRITICAL_SECTION*, int*>*>(context);
  for (int i = 0; i < 1000; ++i) {
    EnterCriticalSection(shared->first);
    EnterCriticalSection(shared->first);  // recursive
    ++*shared->second;
    LeaveCriticalSection(shared->first);
    LeaveCriticalSection(shared->first);
  }
  return 0;
}

TEST(CriticalSection, RecursiveAndExclusive) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  int counter = 0;
  std::pair<CRITICAL_SECTION*, int*> shared(&section, &counter);
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) threads.push_back(Begin(EnterTwiceAndCount, &shared));
  for (HANDLE thread : threads) {
    EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
    CloseHandle(thread);
  }
  EXPECT_EQ(counter, 4000);
  EnterCriticalSection(&section);
  std::atomic<BOOL> otherGot{TRUE};
  std::thread other([&] { otherGot = TryEnterCriticalSection(&section); });
  other.join();
  EXPECT_FALSE(otherGot.load());
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
}

class StartedChild {
 public:
  explicit StartedChild(const std::string& args) {
    std::wstring line = L"\"" + Utf8ToWide(KERNEL_PROCESS_CHILD) + L"\" " + Utf8ToWide(args);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ok_ = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_);
  }
  ~StartedChild() {
    if (!ok_) return;
    WaitForSingleObject(info_.hProcess, kWaitMs);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool ok() const { return ok_; }
  HANDLE process() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_ = {};
  BOOL ok_ = FALSE;
};

TEST(WaitForMultipleObjects, EventOrProcessWhicheverComesFirst) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    StartedChild child("exit 0");
    ASSERT_TRUE(child.ok());
    const HANDLE both[2] = {event, child.process()};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, kWaitMs), WAIT_OBJECT_0 + 1);
  }
  {
    StartedChild child("sleep 300");
    ASSERT_TRUE(child.ok());
    const HANDLE both[2] = {event, child.process()};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 20), WAIT_TIMEOUT);
    std::thread setter([event] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      SetEvent(event);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, kWaitMs), WAIT_OBJECT_0);
    setter.join();
    // Both signalled: the lower index wins.
    EXPECT_EQ(WaitForSingleObject(child.process(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
  }
  CloseHandle(event);
}

TEST(WaitForMultipleObjects, AutoResetEventIsTakenOnlyWhenItsIndexIsReturned) {
  HANDLE first = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  HANDLE second = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  const HANDLE both[2] = {first, second};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_TIMEOUT);
  CloseHandle(first);
  CloseHandle(second);
}

TEST(WaitForMultipleObjects, RefusesWhatItCannotDo) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  const HANDLE handles[2] = {event, nullptr};
  EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForMultipleObjects(1, handles, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WaitForMultipleObjects(0, handles, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(event);
}

TEST(ProcessControl, ErrorModeIsKeptAndInputIdleReturnsAtOnce) {
  const UINT before = SetErrorMode(0xFFFF);
  EXPECT_EQ(SetErrorMode(before), 0xFFFFu);
  StartedChild child("sleep 50");
  ASSERT_TRUE(child.ok());
  EXPECT_EQ(WaitForInputIdle(child.process(), INFINITE), 0u);
  EXPECT_EQ(WaitForInputIdle(nullptr, INFINITE), WAIT_FAILED);
}

TEST(Uuid, RandomVersionFourInLowerCaseText) {
  std::set<std::wstring> seen;
  for (int i = 0; i < 100; ++i) {
    UUID uuid;
    ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
    RPC_WSTR text = nullptr;
    ASSERT_EQ(UuidToStringW(&uuid, &text), RPC_S_OK);
    const std::wstring value = text;
    RpcStringFreeW(&text);
    EXPECT_EQ(text, nullptr);
    ASSERT_EQ(value.size(), 36u);
    for (size_t at : {8u, 13u, 18u, 23u}) EXPECT_EQ(value[at], L'-') << WideToUtf8(value);
    EXPECT_EQ(value[14], L'4');
    EXPECT_NE(value.find_first_of(L"89ab", 19), std::wstring::npos);
    EXPECT_EQ(value.find_first_not_of(L"0123456789abcdef-"), std::wstring::npos) << WideToUtf8(value);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(LocalTime, AgreesWithTheCLibrary) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::time_t seconds = std::time(nullptr);
  std::tm local = {};
  localtime_r(&seconds, &local);
  EXPECT_EQ(now.wYear, local.tm_year + 1900);
  EXPECT_EQ(now.wMonth, local.tm_mon + 1);
  EXPECT_LT(now.wMilliseconds, 1000);
}

}  // namespace
