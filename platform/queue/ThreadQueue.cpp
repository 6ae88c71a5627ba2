#include "ThreadQueue.h"

#include <platform/Kernel.h>

#include <atomic>

#include "WorkerThreadObject.h"

namespace {

// Ids are unique in the process, so an id from one timer never stops another.
std::atomic<UINT_PTR> g_lastTimerId{0};

bool InFilter(UINT message, UINT filterMin, UINT filterMax) {
  if (message == WM_QUIT) return true;
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

}  // namespace

void ThreadQueue::Post(const MSG& msg) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    posted_.push_back(msg);
  }
  changed_.notify_one();
}

bool ThreadQueue::TakePosted(MSG* msg, UINT filterMin, UINT filterMax, bool remove) {
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!InFilter(it->message, filterMin, filterMax)) continue;
    *msg = *it;
    if (remove) posted_.erase(it);
    return true;
  }
  return false;
}

bool ThreadQueue::TakeTimer(MSG* msg, bool remove, Clock::time_point now) {
  Timer* due = nullptr;
  for (Timer& timer : timers_) {
    if (timer.due <= now && (!due || timer.due < due->due)) due = &timer;
  }
  if (!due) return false;
  *msg = MSG{nullptr, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), GetTickCount(), POINT{0, 0}};
  // However many periods were missed, one message stands for them all; the
  // next one is a whole period away.
  if (remove) due->due = now + due->interval;
  return true;
}

bool ThreadQueue::NextTimerDue(Clock::time_point* due) const {
  if (timers_.empty()) return false;
  *due = timers_.front().due;
  for (const Timer& timer : timers_) {
    if (timer.due < *due) *due = timer.due;
  }
  return true;
}

bool ThreadQueue::Take(MSG* msg, UINT filterMin, UINT filterMax, bool remove, bool wait) {
  for (;;) {
    // A suspended thread pauses here, holding no queue lock.
    if (wait) PauseIfSuspended();
    std::unique_lock<std::mutex> guard(lock_);
    if (wait && SuspendRequested()) continue;  // suspended after the check above
    if (TakePosted(msg, filterMin, filterMax, remove)) return true;
    const Clock::time_point now = Clock::now();
    if (InFilter(WM_TIMER, filterMin, filterMax) && TakeTimer(msg, remove, now)) return true;
    if (!wait) return false;
    Clock::time_point due;
    if (InFilter(WM_TIMER, filterMin, filterMax) && NextTimerDue(&due)) {
      changed_.wait_until(guard, due);
    } else {
      changed_.wait(guard);
    }
  }
}

UINT_PTR ThreadQueue::AddTimer(UINT elapseMs, TIMERPROC proc) {
  // Shorter periods are raised to 10 ms, as Windows does.
  constexpr UINT kMinimumMs = 10;
  const UINT_PTR id = ++g_lastTimerId;
  const Clock::duration interval = std::chrono::milliseconds(elapseMs < kMinimumMs ? kMinimumMs : elapseMs);
  {
    std::lock_guard<std::mutex> guard(lock_);
    timers_.push_back(Timer{id, interval, Clock::now() + interval, proc});
  }
  changed_.notify_one();
  return id;
}

bool ThreadQueue::RemoveTimer(UINT_PTR timerId) {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->id != timerId) continue;
    timers_.erase(it);
    return true;
  }
  return false;
}
