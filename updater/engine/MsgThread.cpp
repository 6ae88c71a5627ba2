#include "MsgThread.h"

#include <platform/Kernel.h>

#include "Msg.h"
#include "SyncSectionLock.h"
#include "Trace.h"

void CMsgThread::OnThreadStart() {
  CThread::OnThreadStart();
  // The queue exists before the id is published, so no post can miss it.
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  CSyncSectionLock lock(&m_postLock);
  m_dwThreadId = GetCurrentThreadId();
}

int CMsgThread::Run(void*) {
  InitMsgLoop();
  const int code = MsgLoop();
  UninitMsgLoop();
  {
    CSyncSectionLock lock(&m_postLock);
    m_dwThreadId = 0;
  }
  DeleteUnhandledMessages();
  return code;
}

int CMsgThread::MsgLoop() {
  MSG msg = {};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) {
      TraceErr("GetMessage failed! (err:%u)", GetLastError());
      return -1;
    }
    if (msg.message == WM_TIMER) {
      OnTimeout(static_cast<int>(msg.wParam), msg.lParam);
    } else if (msg.message == WM_USER) {
      auto* usrMsg = reinterpret_cast<CMsg*>(msg.lParam);
      DealUsrMsg(usrMsg);
      delete usrMsg;
    }
  }
  return static_cast<int>(msg.wParam);
}

// Posts that arrived after WM_QUIT were accepted, so they are ours to delete.
void CMsgThread::DeleteUnhandledMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_USER) delete reinterpret_cast<CMsg*>(msg.lParam);
  }
}

void CMsgThread::StopThread(int code) { PostWindowsMessage(WM_QUIT, static_cast<WPARAM>(code), 0); }

bool CMsgThread::PostUsrMsg(CMsg* msg) {
  const int type = msg ? msg->GetType() : 0;
  CSyncSectionLock lock(&m_postLock);
  if (m_dwThreadId == 0) {
    TraceErr("PostUsrMsg to nullThread, msg:%d, failed!", type);
    return false;
  }
  if (!PostThreadMessageW(m_dwThreadId, WM_USER, 0, reinterpret_cast<LPARAM>(msg))) {
    TraceErr("PostUsrMsg to threadid:%d, msg:%d, failed!", static_cast<int>(m_dwThreadId), type);
    return false;
  }
  return true;
}

bool CMsgThread::PostWindowsMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  CSyncSectionLock lock(&m_postLock);
  if (m_dwThreadId == 0) {
    TraceErr("PostWindowsMessage to nullThread, msg:%d, failed!", static_cast<int>(message));
    return false;
  }
  if (!PostThreadMessageW(m_dwThreadId, message, wParam, lParam)) {
    TraceErr("PostWindowsMessage to threadid:%d, msg:%d failed!", static_cast<int>(m_dwThreadId),
             static_cast<int>(message));
    return false;
  }
  return true;
}

int CMsgThread::StartTimer(int id, UINT intervalMs, TIMERPROC proc) {
  return static_cast<int>(SetTimer(nullptr, static_cast<UINT_PTR>(id), intervalMs, proc));
}

void CMsgThread::StopTimer(int id) { KillTimer(nullptr, static_cast<UINT_PTR>(id)); }
