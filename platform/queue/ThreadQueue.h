// One thread's message queue: posted messages in order, and the thread's
// timers, which become WM_TIMER messages when nothing else is waiting.
#pragma once

#include <platform/MessageQueue.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

class QueuePump;

class ThreadQueue {
 public:
  void Post(const MSG& msg);
  // A message within [filterMin, filterMax] (0, 0: any) for window (null:
  // any); WM_QUIT passes every filter. With `wait`, blocks until there is
  // one; else false when none.
  bool Take(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, bool wait);
  // A thread timer (window null) gets a new id; a window timer keeps its id
  // and replaces the window's timer of that id.
  UINT_PTR AddTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc);
  bool RemoveTimer(HWND window, UINT_PTR timerId);
  void RemoveWindowTimers(HWND window);
  void SetPump(QueuePump* pump);

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    HWND window;
    UINT_PTR id;
    Clock::duration interval;
    Clock::time_point due;
    TIMERPROC proc;
  };

  bool TakePosted(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove);
  bool TakeTimer(MSG* msg, HWND window, bool remove, Clock::time_point now);
  bool NextTimerDue(Clock::time_point* due) const;
  bool RemoveTimerLocked(HWND window, UINT_PTR timerId);

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<MSG> posted_;
  std::vector<Timer> timers_;
  QueuePump* pump_ = nullptr;  // set once, by the owning thread
};
