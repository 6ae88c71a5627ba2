// The handle of a thread started with _beginthreadex: signalled when the
// thread function has returned, with its exit code, and the thread's
// cooperative suspend count.
#pragma once

#include <condition_variable>
#include <mutex>

#include "KernelObject.h"

class WorkerThreadObject : public KernelObject {
 public:
  DWORD Wait(DWORD milliseconds) override;

  // Called on the thread itself.
  void Started(DWORD threadId);
  void Ended(DWORD exitCode);
  void PauseWhileSuspended();
  bool IsSuspended();

  DWORD WaitForThreadId();
  DWORD Suspend();  // the previous count
  DWORD Resume();   // the previous count
  bool ExitCode(DWORD* exitCode);

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  DWORD threadId_ = 0;
  bool ended_ = false;
  DWORD exitCode_ = 0;
  DWORD suspendCount_ = 0;
};

// The suspend checkpoint of the waits, sleeps and message fetches: pauses the
// calling thread while it is suspended, unless it holds a critical section.
void PauseIfSuspended();
// Whether PauseIfSuspended would pause now: a checkpoint that found work
// under its own lock gives it up and pauses first.
bool SuspendRequested();
// Kept by EnterCriticalSection and LeaveCriticalSection.
void NoteCriticalSectionHeld(int change);
// Run on a thread started with _beginthreadex after its function returns and
// before its handle is signalled: the queue layer drops the thread's queue
// there, so no post succeeds once a waiter has seen the thread end.
void SetThreadEndHook(void (*hook)());
void RunThreadEndHook();
