// A worker thread: Run() is the body; StartThread returns once OnThreadStart
// has run on the new thread.
#pragma once

#include <platform/KernelOwners.h>
#include <platform/Win32Types.h>

#include "SyncSection.h"

class CThread {
 public:
  CThread() = default;
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  virtual bool StartThread(void* param = nullptr);
  // Only asks: the body decides when to stop.
  virtual void StopThread(int code);
  virtual void OnThreadStart();
  virtual int Run(void* param) = 0;
  virtual void OnThreadEnd(int code);

  // True once the thread has ended (at once when none was started).
  bool WaitExit(DWORD milliseconds);
  bool Suspend();
  bool Resume();
  // There is no way to end a thread from outside here: logged and refused,
  // the thread keeps running and stays tracked.
  void Terminate(int code);
  int GetExitCode();
  bool IsRunning();

 protected:
  bool IsStopRequested();

  int m_bStop = 0;
  UniqueHandle m_hThread;
  int m_nExitCode = 0;
  CSyncSection m_lock;

 private:
  static unsigned ThreadEntry(void* context);

  // A handle of our own to the last thread started, which OnThreadEnd leaves
  // open: WaitExit needs it to learn when the thread has really ended.
  UniqueHandle m_hEndRef;
};
