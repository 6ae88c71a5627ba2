// One thread's message queue: posted messages in order, and the thread's
// timers, which become WM_TIMER messages when nothing else is waiting.
#pragma once

#include <platform/MessageQueue.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

class ThreadQueue {
 public:
  void Post(const MSG& msg);
  // A message within [filterMin, filterMax] (0, 0: any); WM_QUIT passes every
  // filter. With `wait`, blocks until there is one; else false when none.
  bool Take(MSG* msg, UINT filterMin, UINT filterMax, bool remove, bool wait);
  UINT_PTR AddTimer(UINT elapseMs, TIMERPROC proc);
  bool RemoveTimer(UINT_PTR timerId);

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    UINT_PTR id;
    Clock::duration interval;
    Clock::time_point due;
    TIMERPROC proc;
  };

  bool TakePosted(MSG* msg, UINT filterMin, UINT filterMax, bool remove);
  bool TakeTimer(MSG* msg, bool remove, Clock::time_point now);
  bool NextTimerDue(Clock::time_point* due) const;

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<MSG> posted_;
  std::vector<Timer> timers_;
};
