#include "Thread.h"

#include <platform/Kernel.h>
#include <platform/Threads.h>

#include "SyncSectionLock.h"
#include "Trace.h"

namespace {

struct SThreadStart {
  void* param;
  CThread* thread;
  HANDLE started;
};

void CloseAndClear(HANDLE* handle) {
  if (!*handle) return;
  CloseHandle(*handle);
  *handle = nullptr;
}

}  // namespace

CThread::~CThread() {
  CSyncSectionLock lock(&m_lock);
  CloseAndClear(&m_hThread);
  CloseAndClear(&m_hEndRef);
}

unsigned CThread::ThreadEntry(void* context) {
  auto* start = static_cast<SThreadStart*>(context);
  CThread* thread = start->thread;
  void* param = start->param;
  thread->OnThreadStart();
  SetEvent(start->started);  // the start record dies with this
  const int result = thread->Run(param);
  thread->OnThreadEnd(result);
  return static_cast<unsigned>(result);
}

bool CThread::StartThread(void* param) {
  CSyncSectionLock lock(&m_lock);
  if (m_hThread) return false;
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!started) return false;
  SThreadStart start = {param, this, started};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, &start, 0, nullptr));
  if (!thread) {
    CloseHandle(started);
    return false;
  }
  m_hThread = thread;
  CloseAndClear(&m_hEndRef);
  if (!DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &m_hEndRef, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    m_hEndRef = nullptr;
    TraceErr("CThread: no own handle to thread (err:%u); WaitExit cannot wait for it", GetLastError());
  }
  m_bStop = 0;
  // OnThreadEnd takes the lock, so the thread cannot end before this returns.
  WaitForSingleObject(started, INFINITE);
  CloseHandle(started);
  return true;
}

void CThread::StopThread(int code) {
  CSyncSectionLock lock(&m_lock);
  m_bStop = 1;
  m_nExitCode = code;
}

void CThread::OnThreadStart() {}

void CThread::OnThreadEnd(int code) {
  CSyncSectionLock lock(&m_lock);
  CloseAndClear(&m_hThread);
  m_nExitCode = code;
  m_bStop = 0;
}

bool CThread::WaitExit(DWORD milliseconds) {
  HANDLE endRef = nullptr;
  HANDLE waitOn = nullptr;
  HANDLE threadThen = nullptr;
  {
    CSyncSectionLock lock(&m_lock);
    if (!m_hEndRef) return true;
    endRef = m_hEndRef;
    threadThen = m_hThread;
    // The stored handles may be closed while we wait (by OnThreadEnd, or by
    // another WaitExit); this one is ours alone.
    if (!DuplicateHandle(GetCurrentProcess(), endRef, GetCurrentProcess(), &waitOn, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
      return false;
    }
  }
  const DWORD result = WaitForSingleObject(waitOn, milliseconds);
  CloseHandle(waitOn);
  if (result != WAIT_OBJECT_0) return false;
  CSyncSectionLock lock(&m_lock);
  if (m_hEndRef == endRef) CloseAndClear(&m_hEndRef);
  if (threadThen && m_hThread == threadThen) CloseAndClear(&m_hThread);
  m_bStop = 0;
  return true;
}

bool CThread::Suspend() {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return false;
  return SuspendThread(m_hThread) != static_cast<DWORD>(-1);
}

bool CThread::Resume() {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return false;
  return ResumeThread(m_hThread) != static_cast<DWORD>(-1);
}

void CThread::Terminate(int code) {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return;
  if (!TerminateThread(m_hThread, static_cast<DWORD>(code))) {
    TraceErr("CThread::Terminate(%d) refused (err:%u); the thread keeps running", code, GetLastError());
    return;
  }
  m_nExitCode = code;
  CloseAndClear(&m_hThread);
  m_bStop = 0;
}

int CThread::GetExitCode() {
  CSyncSectionLock lock(&m_lock);
  return m_nExitCode;
}

bool CThread::IsRunning() {
  CSyncSectionLock lock(&m_lock);
  return m_hThread != nullptr;
}

bool CThread::IsStopRequested() {
  CSyncSectionLock lock(&m_lock);
  return m_bStop != 0;
}
