#include "ThreadQueue.h"

#include <platform/Kernel.h>

#include <algorithm>
#include <atomic>

#include "QueueHooks.h"
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
  QueuePump* pump = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    posted_.push_back(msg);
    pump = pump_;
  }
  changed_.notify_one();
  if (pump != nullptr) pump->Wake();
}

void ThreadQueue::SetPump(QueuePump* pump) {
  std::lock_guard<std::mutex> guard(lock_);
  pump_ = pump;
}

bool ThreadQueue::TakePosted(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!InFilter(it->message, filterMin, filterMax)) continue;
    if (window != nullptr && it->hwnd != window && it->message != WM_QUIT) continue;
    *msg = *it;
    if (remove) posted_.erase(it);
    return true;
  }
  return false;
}

bool ThreadQueue::TakeTimer(MSG* msg, HWND window, bool remove, Clock::time_point now) {
  Timer* due = nullptr;
  for (Timer& timer : timers_) {
    if (window != nullptr && timer.window != window) continue;
    if (timer.due <= now && (!due || timer.due < due->due)) due = &timer;
  }
  if (!due) return false;
  *msg = MSG{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), GetTickCount(), POINT{0, 0}};
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

bool ThreadQueue::Take(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove, bool wait) {
  for (;;) {
    // A suspended thread pauses here, holding no queue lock.
    if (wait) PauseIfSuspended();
    // A GUI thread handles its window events first; they may post or send.
    QueuePump* pump = nullptr;
    {
      std::lock_guard<std::mutex> guard(lock_);
      pump = pump_;
    }
    if (pump != nullptr) pump->Pump(0);
    std::unique_lock<std::mutex> guard(lock_);
    if (wait && SuspendRequested()) continue;  // suspended after the check above
    if (TakePosted(msg, window, filterMin, filterMax, remove)) return true;
    const Clock::time_point now = Clock::now();
    if (InFilter(WM_TIMER, filterMin, filterMax) && TakeTimer(msg, window, remove, now)) return true;
    if (!wait) return false;
    Clock::time_point due;
    const bool timed = InFilter(WM_TIMER, filterMin, filterMax) && NextTimerDue(&due);
    if (pump != nullptr) {
      // Qt's loop waits instead; a post wakes it through the pump.
      guard.unlock();
      int timeoutMs = -1;
      if (timed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1;
        timeoutMs = static_cast<int>(std::max<long long>(0, std::min<long long>(left, 60000)));
      }
      pump->Pump(timeoutMs);
      continue;
    }
    if (timed) {
      changed_.wait_until(guard, due);
    } else {
      changed_.wait(guard);
    }
  }
}

UINT_PTR ThreadQueue::AddTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc) {
  // Shorter periods are raised to 10 ms, as Windows does.
  constexpr UINT kMinimumMs = 10;
  const UINT_PTR id = window != nullptr ? timerId : ++g_lastTimerId;
  const Clock::duration interval = std::chrono::milliseconds(elapseMs < kMinimumMs ? kMinimumMs : elapseMs);
  QueuePump* pump = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (window != nullptr) RemoveTimerLocked(window, id);
    timers_.push_back(Timer{window, id, interval, Clock::now() + interval, proc});
    pump = pump_;
  }
  changed_.notify_one();
  if (pump != nullptr) pump->Wake();
  return id;
}

bool ThreadQueue::RemoveTimerLocked(HWND window, UINT_PTR timerId) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->id != timerId || it->window != window) continue;
    timers_.erase(it);
    return true;
  }
  return false;
}

bool ThreadQueue::RemoveTimer(HWND window, UINT_PTR timerId) {
  std::lock_guard<std::mutex> guard(lock_);
  return RemoveTimerLocked(window, timerId);
}

void ThreadQueue::RemoveWindowTimers(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [window](const Timer& t) { return t.window == window; }),
                timers_.end());
  posted_.erase(std::remove_if(posted_.begin(), posted_.end(), [window](const MSG& m) { return m.hwnd == window; }),
                posted_.end());
}
