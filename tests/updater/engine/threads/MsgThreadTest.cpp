#include <gtest/gtest.h>
#include <platform/Kernel.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "Msg.h"
#include "MsgThread.h"

namespace {

const DWORD kWaitMs = 10000;  // only a failing test reaches it

std::atomic<int> g_deleted{0};

class CountedMsg : public CMsg {
 public:
  using CMsg::CMsg;
  ~CountedMsg() override { ++g_deleted; }
};

enum { kRecord = 1, kStartTimer = 2, kSlow = 3, kIgnored = 4 };

// Records what it handles, as "m<n>" for messages and "t" for timers.
class RecordingThread : public CMsgThread {
 public:
  RecordingThread() : go_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~RecordingThread() override { CloseHandle(go_); }
  void Go() { SetEvent(go_); }
  void DealUsrMsg(CMsg* msg) override {
    if (!msg) return;
    switch (msg->GetType()) {
      case kStartTimer:
        WaitForSingleObject(go_, kWaitMs);
        timerId = StartTimer(1, 10);
        Sleep(30);
        break;
      case kSlow:
        Sleep(15);
        break;
      case kIgnored:
        return;
    }
    Record("m" + std::to_string(msg->GetWParam()));
  }
  void OnTimeout(int id, LPARAM) override {
    StopTimer(id);
    timedOutId = id;
    Record("t");
  }
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> guard(lock_);
    return log_;
  }
  std::atomic<int> timerId{0};
  std::atomic<int> timedOutId{-1};

 private:
  void Record(const std::string& entry) {
    std::lock_guard<std::mutex> guard(lock_);
    log_.push_back(entry);
  }
  HANDLE go_;
  std::mutex lock_;
  std::vector<std::string> log_;
};

class MsgThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { g_deleted = 0; }
  void TearDown() override {
    thread_.StopThread(0);
    thread_.WaitExit(kWaitMs);
  }
  RecordingThread thread_;
};

TEST_F(MsgThreadTest, HandlesPostsInOrderAndStopsWithTheCodeGiven) {
  ASSERT_TRUE(thread_.StartThread());
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kRecord, i, 0)));
  thread_.StopThread(7);
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  EXPECT_EQ(thread_.GetExitCode(), 7);
  const std::vector<std::string> log = thread_.Log();
  ASSERT_EQ(log.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(log[i], "m" + std::to_string(i));
  EXPECT_EQ(g_deleted.load(), 50);
}

TEST_F(MsgThreadTest, MessagesAreDeletedAfterHandlingEvenWhenIgnored) {
  ASSERT_TRUE(thread_.StartThread());
  ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kIgnored, 0, 0)));
  ASSERT_TRUE(thread_.PostUsrMsg(nullptr));  // a null message is handled and not deleted
  ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kRecord, 1, 0)));
  thread_.StopThread(0);
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  EXPECT_EQ(g_deleted.load(), 2);
}

TEST_F(MsgThreadTest, AFailedPostLeavesTheMessageWithTheCaller) {
  CountedMsg* before = new CountedMsg(kRecord, 0, 0);
  EXPECT_FALSE(thread_.PostUsrMsg(before));
  EXPECT_FALSE(thread_.PostWindowsMessage(WM_USER + 5, 0, 0));
  EXPECT_EQ(g_deleted.load(), 0);
  delete before;

  ASSERT_TRUE(thread_.StartThread());
  thread_.StopThread(0);
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  CountedMsg* after = new CountedMsg(kRecord, 0, 0);
  EXPECT_FALSE(thread_.PostUsrMsg(after));
  EXPECT_EQ(g_deleted.load(), 1);
  delete after;
}

TEST_F(MsgThreadTest, PostsRacingTheStopAreHandledOrDeletedNeverLost) {
  ASSERT_TRUE(thread_.StartThread());
  thread_.StopThread(0);
  int accepted = 0;
  for (int i = 0; i < 200; ++i) {
    auto* msg = new CountedMsg(kIgnored, i, 0);
    if (thread_.PostUsrMsg(msg)) {
      ++accepted;
    } else {
      delete msg;
    }
  }
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  // However the race went, every message was deleted exactly once.
  EXPECT_EQ(g_deleted.load(), 200);
  EXPECT_LE(accepted, 200);
}

TEST_F(MsgThreadTest, TimerWaitsBehindPostsAndComesOnceWithItsOwnId) {
  ASSERT_TRUE(thread_.StartThread());
  ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kStartTimer, 0, 0)));
  for (int i = 1; i <= 9; ++i) ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kSlow, i, 0)));
  thread_.Go();  // everything is queued before the timer starts
  const auto timedOut = [this] { return thread_.timedOutId.load() != -1; };
  for (int i = 0; i < 1000 && !timedOut(); ++i) Sleep(5);
  ASSERT_TRUE(timedOut());
  Sleep(30);  // a second period, had the timer not been stopped
  thread_.StopThread(0);
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  std::vector<std::string> expected;
  for (int i = 0; i <= 9; ++i) expected.push_back("m" + std::to_string(i));
  expected.push_back("t");
  EXPECT_EQ(thread_.Log(), expected);
  EXPECT_EQ(thread_.timedOutId.load(), thread_.timerId.load());
  EXPECT_NE(thread_.timerId.load(), 0);
}

TEST_F(MsgThreadTest, SuspendedThreadHandlesNothingUntilResumed) {
  ASSERT_TRUE(thread_.StartThread());
  ASSERT_TRUE(thread_.Suspend());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(thread_.PostUsrMsg(new CountedMsg(kRecord, i, 0)));
  Sleep(100);
  EXPECT_TRUE(thread_.Log().empty());
  ASSERT_TRUE(thread_.Resume());
  thread_.StopThread(0);
  ASSERT_TRUE(thread_.WaitExit(kWaitMs));
  EXPECT_EQ(thread_.Log().size(), 5u);
}

}  // namespace
