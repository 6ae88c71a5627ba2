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

// A second handle to the same thread, or null.
UniqueHandle Duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return UniqueHandle(copy);
}

}  // namespace

CThread::~CThread() {
  CSyncSectionLock lock(&m_lock);
  m_hThread.reset();
  m_hEndRef.reset();
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
  const UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!started) return false;
  SThreadStart start = {param, this, started.get()};
  UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, &start, 0, nullptr)));
  if (!thread) return false;
  m_hEndRef = Duplicate(thread.get());
  if (!m_hEndRef) {
    TraceErr("CThread: no own handle to thread (err:%u); WaitExit cannot wait for it", GetLastError());
  }
  m_hThread = std::move(thread);
  m_bStop = 0;
  // OnThreadEnd takes the lock, so the thread cannot end before this returns.
  WaitForSingleObject(started.get(), INFINITE);
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
  m_hThread.reset();
  m_nExitCode = code;
  m_bStop = 0;
}

bool CThread::WaitExit(DWORD milliseconds) {
  HANDLE endRef = nullptr;
  HANDLE threadThen = nullptr;
  UniqueHandle waitOn;
  {
    CSyncSectionLock lock(&m_lock);
    if (!m_hEndRef) return true;
    endRef = m_hEndRef.get();
    threadThen = m_hThread.get();
    // The stored handles may be closed while we wait (by OnThreadEnd, or by
    // another WaitExit); this one is ours alone.
    waitOn = Duplicate(endRef);
    if (!waitOn) return false;
  }
  const DWORD result = WaitForSingleObject(waitOn.get(), milliseconds);
  waitOn.reset();
  if (result != WAIT_OBJECT_0) return false;
  CSyncSectionLock lock(&m_lock);
  if (m_hEndRef.get() == endRef) m_hEndRef.reset();
  if (threadThen && m_hThread.get() == threadThen) m_hThread.reset();
  m_bStop = 0;
  return true;
}

bool CThread::Suspend() {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return false;
  return SuspendThread(m_hThread.get()) != static_cast<DWORD>(-1);
}

bool CThread::Resume() {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return false;
  return ResumeThread(m_hThread.get()) != static_cast<DWORD>(-1);
}

void CThread::Terminate(int code) {
  CSyncSectionLock lock(&m_lock);
  if (!m_hThread) return;
  if (!TerminateThread(m_hThread.get(), static_cast<DWORD>(code))) {
    TraceErr("CThread::Terminate(%d) refused (err:%u); the thread keeps running", code, GetLastError());
    return;
  }
  m_nExitCode = code;
  m_hThread.reset();
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
