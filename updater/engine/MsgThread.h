// A thread with its own message queue: posted CMsg objects go to DealUsrMsg,
// thread timers to OnTimeout, until StopThread's WM_QUIT.
#pragma once

#include <platform/MessageQueue.h>

#include "SyncSection.h"
#include "Thread.h"

class CMsg;

class CMsgThread : public CThread {
 public:
  // Ends the loop after the messages posted before it; the run's exit code
  // is `code`.
  void StopThread(int code) override;
  void OnThreadStart() override;
  int Run(void* param) override;

  virtual int MsgLoop();
  virtual void InitMsgLoop() {}
  virtual void DealUsrMsg(CMsg*) {}
  virtual void UninitMsgLoop() {}
  virtual void OnTimeout(int, LPARAM) {}

  // On success the thread owns the message; on failure the caller keeps it.
  bool PostUsrMsg(CMsg* msg);
  bool PostWindowsMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // On the message thread only. Returns the id OnTimeout will receive.
  int StartTimer(int id, UINT intervalMs, TIMERPROC proc = nullptr);
  void StopTimer(int id);

 protected:
  DWORD m_dwThreadId = 0;  // 0 while no loop can take posts; under m_postLock

 private:
  void DeleteUnhandledMessages();

  // Posts hold it, so none can slip in between the end of the loop and the
  // clean-up of what is left in the queue.
  CSyncSection m_postLock;
};
