#include "NamedMutexLock.h"

#include <platform/Kernel.h>

#include "NamedMutex.h"

CNamedMutexLock::CNamedMutexLock(CNamedMutex* mutex) : m_pMutex(mutex) {
  if (!m_pMutex) return;
  m_pMutex->WaitResult(INFINITE);
  m_bLocked = true;
}

CNamedMutexLock::~CNamedMutexLock() {
  if (m_bLocked) m_pMutex->Release();
}
