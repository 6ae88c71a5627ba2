#include <gtest/gtest.h>
#include <platform/Kernel.h>
#include <platform/MessageQueue.h>
#include <platform/Threads.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

const DWORD kWaitMs = 10000;  // only a failing test reaches it

// A thread with a queue that records every message until WM_QUIT.
class QueueThread {
 public:
  QueueThread() {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Main, this, 0, nullptr));
    WaitForSingleObject(ready_, kWaitMs);
  }
  ~QueueThread() {
    if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, kWaitMs);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  DWORD id() const { return threadId_; }
  HANDLE handle() const { return thread_; }
  bool Ended() { return WaitForSingleObject(thread_, kWaitMs) == WAIT_OBJECT_0; }
  std::vector<MSG> received;

 private:
  static unsigned Main(void* context) {
    auto* self = static_cast<QueueThread*>(context);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    self->threadId_ = GetCurrentThreadId();
    SetEvent(self->ready_);
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) self->received.push_back(msg);
    self->received.push_back(msg);
    return static_cast<unsigned>(msg.wParam);
  }

  HANDLE ready_;
  HANDLE thread_;
  std::atomic<DWORD> threadId_{0};
};

TEST(MessageQueue, PostsArriveInOrderAndQuitEndsWithItsCode) {
  QueueThread thread;
  for (WPARAM i = 0; i < 100; ++i) ASSERT_TRUE(PostThreadMessageW(thread.id(), WM_USER, i, static_cast<LPARAM>(i * 2)));
  ASSERT_TRUE(PostThreadMessageW(thread.id(), WM_QUIT, 7, 0));
  ASSERT_TRUE(thread.Ended());
  DWORD code = 0;
  GetExitCodeThread(thread.handle(), &code);
  EXPECT_EQ(code, 7u);
  ASSERT_EQ(thread.received.size(), 101u);
  for (size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(thread.received[i].message, WM_USER);
    EXPECT_EQ(thread.received[i].wParam, i);
    EXPECT_EQ(thread.received[i].lParam, static_cast<LPARAM>(i * 2));
  }
  EXPECT_EQ(thread.received.back().message, WM_QUIT);
}

TEST(MessageQueue, PostFailsWithoutAQueue) {
  std::atomic<DWORD> id{0};
  std::thread plain([&] { id = GetCurrentThreadId(); });
  plain.join();
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);

  DWORD ended = 0;
  {
    QueueThread thread;
    ended = thread.id();
  }
  // The queue went with its thread.
  EXPECT_FALSE(PostThreadMessageW(ended, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST(MessageQueue, PeekFiltersAndRemovesOnlyWhenAsked) {
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 1, 0));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 2, 0));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(1), 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(MessageQueue, TimersGetNewIdsAndStop) {
  const UINT_PTR first = SetTimer(nullptr, 1, 10, nullptr);
  const UINT_PTR second = SetTimer(nullptr, 1, 10, nullptr);
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_TRUE(msg.wParam == first || msg.wParam == second);
  EXPECT_TRUE(KillTimer(nullptr, first));
  EXPECT_TRUE(KillTimer(nullptr, second));
  EXPECT_FALSE(KillTimer(nullptr, second));
  Sleep(30);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, TimerWaitsWhilePostsAreQueuedAndComesOnceForManyPeriods) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
  ASSERT_NE(timer, 0u);
  for (WPARAM i = 0; i < 3; ++i) PostThreadMessageW(GetCurrentThreadId(), WM_USER, i, 0);
  Sleep(100);  // ten periods pass
  MSG msg;
  std::vector<UINT> order;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    order.push_back(msg.message);
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER, WM_USER, WM_TIMER}));
  EXPECT_EQ(msg.wParam, timer);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "missed periods were not coalesced";
  KillTimer(nullptr, timer);
}

TEST(MessageQueue, SuspendedThreadTakesNoMessageUntilResumed) {
  QueueThread thread;
  ASSERT_EQ(SuspendThread(thread.handle()), 0u);
  ASSERT_TRUE(PostThreadMessageW(thread.id(), WM_USER, 1, 0));
  ASSERT_TRUE(PostThreadMessageW(thread.id(), WM_QUIT, 0, 0));
  EXPECT_EQ(WaitForSingleObject(thread.handle(), 100), WAIT_TIMEOUT);
  EXPECT_TRUE(thread.received.empty());
  ResumeThread(thread.handle());
  ASSERT_TRUE(thread.Ended());
  EXPECT_EQ(thread.received.size(), 2u);
}

}  // namespace
