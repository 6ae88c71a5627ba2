#include <gtest/gtest.h>
#include <platform/Kernel.h>

#include <atomic>

#include "Thread.h"

namespace {

const DWORD kWaitMs = 10000;  // only a failing test reaches it

// Runs until released; its end takes a while after OnThreadEnd has closed
// the thread handle, as a subclass's clean-up would.
class GatedThread : public CThread {
 public:
  GatedThread() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~GatedThread() override { CloseHandle(release_); }
  void Release() { SetEvent(release_); }
  int Run(void* param) override {
    WaitForSingleObject(release_, kWaitMs);
    return static_cast<int>(reinterpret_cast<intptr_t>(param));
  }
  void OnThreadStart() override { startedOnThread = GetCurrentThreadId(); }
  void OnThreadEnd(int code) override {
    CThread::OnThreadEnd(code);
    Sleep(tailMs);
    tailDone = true;
  }
  int tailMs = 0;
  std::atomic<bool> tailDone{false};
  std::atomic<DWORD> startedOnThread{0};

 private:
  HANDLE release_;
};

TEST(CThread, StartRunsOnThreadStartFirstAndRefusesASecondStart) {
  GatedThread thread;
  ASSERT_TRUE(thread.StartThread(reinterpret_cast<void*>(5)));
  EXPECT_NE(thread.startedOnThread.load(), 0u);  // before StartThread returned
  EXPECT_NE(thread.startedOnThread.load(), GetCurrentThreadId());
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_FALSE(thread.StartThread(nullptr));
  EXPECT_FALSE(thread.WaitExit(10));
  thread.Release();
  EXPECT_TRUE(thread.WaitExit(kWaitMs));
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetExitCode(), 5);
  // Ended and collected: at once, and it can run again.
  EXPECT_TRUE(thread.WaitExit(0));
  ASSERT_TRUE(thread.StartThread(reinterpret_cast<void*>(6)));
  EXPECT_TRUE(thread.WaitExit(kWaitMs));
  EXPECT_EQ(thread.GetExitCode(), 6);
}

TEST(CThread, WaitExitReturnsOnlyOnceTheThreadHasEnded) {
  GatedThread thread;
  thread.tailMs = 100;
  ASSERT_TRUE(thread.StartThread(nullptr));
  thread.Release();
  // OnThreadEnd has closed the stored handle long before the thread ends.
  while (thread.IsRunning()) Sleep(1);
  EXPECT_TRUE(thread.WaitExit(kWaitMs));
  EXPECT_TRUE(thread.tailDone.load());
}

TEST(CThread, WaitExitOfANeverStartedThreadIsAtOnce) {
  GatedThread thread;
  EXPECT_TRUE(thread.WaitExit(0));
  EXPECT_FALSE(thread.Suspend());
  EXPECT_FALSE(thread.Resume());
}

TEST(CThread, StopOnlyAsksAndTerminateIsRefused) {
  GatedThread thread;
  ASSERT_TRUE(thread.StartThread(nullptr));
  thread.StopThread(9);
  EXPECT_EQ(thread.GetExitCode(), 9);
  EXPECT_TRUE(thread.IsRunning());
  thread.Terminate(3);
  EXPECT_TRUE(thread.IsRunning()) << "a refused terminate must not forget the running thread";
  EXPECT_EQ(thread.GetExitCode(), 9);
  thread.Release();
  EXPECT_TRUE(thread.WaitExit(kWaitMs));
  EXPECT_EQ(thread.GetExitCode(), 0);
}

}  // namespace
