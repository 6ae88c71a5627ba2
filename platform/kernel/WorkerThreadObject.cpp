#include "WorkerThreadObject.h"

#include <atomic>
#include <chrono>

namespace {

// The thread's own object, set while its thread function runs. The start
// record holds the reference, so the pointer stays valid until then.
thread_local WorkerThreadObject* t_self = nullptr;
thread_local int t_sectionsHeld = 0;
std::atomic<void (*)()> g_threadEndHook{nullptr};

}  // namespace

DWORD WorkerThreadObject::Wait(DWORD milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  if (milliseconds == INFINITE) {
    changed_.wait(guard, [this] { return ended_; });
    return WAIT_OBJECT_0;
  }
  const bool ended = changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return ended_; });
  return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void WorkerThreadObject::Started(DWORD threadId) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    threadId_ = threadId;
  }
  t_self = this;
  changed_.notify_all();
}

void WorkerThreadObject::Ended(DWORD exitCode) {
  t_self = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    ended_ = true;
    exitCode_ = exitCode;
  }
  changed_.notify_all();
}

void WorkerThreadObject::PauseWhileSuspended() {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [this] { return suspendCount_ == 0; });
}

bool WorkerThreadObject::IsSuspended() {
  std::lock_guard<std::mutex> guard(lock_);
  return suspendCount_ > 0;
}

DWORD WorkerThreadObject::WaitForThreadId() {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [this] { return threadId_ != 0; });
  return threadId_;
}

DWORD WorkerThreadObject::Suspend() {
  std::lock_guard<std::mutex> guard(lock_);
  return suspendCount_++;
}

DWORD WorkerThreadObject::Resume() {
  DWORD previous;
  {
    std::lock_guard<std::mutex> guard(lock_);
    previous = suspendCount_;
    if (suspendCount_ > 0) --suspendCount_;
  }
  changed_.notify_all();
  return previous;
}

bool WorkerThreadObject::ExitCode(DWORD* exitCode) {
  std::lock_guard<std::mutex> guard(lock_);
  *exitCode = ended_ ? exitCode_ : STILL_ACTIVE;
  return true;
}

void PauseIfSuspended() {
  if (!t_self || t_sectionsHeld > 0) return;
  t_self->PauseWhileSuspended();
}

bool SuspendRequested() { return t_self && t_sectionsHeld == 0 && t_self->IsSuspended(); }

void NoteCriticalSectionHeld(int change) { t_sectionsHeld += change; }

void SetThreadEndHook(void (*hook)()) { g_threadEndHook = hook; }

void RunThreadEndHook() {
  if (void (*hook)() = g_threadEndHook.load()) hook();
}
