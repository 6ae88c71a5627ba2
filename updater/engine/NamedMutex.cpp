#include "NamedMutex.h"

#include <platform/Kernel.h>

CNamedMutex::~CNamedMutex() { Close(); }

bool CNamedMutex::Create(const wchar_t* name) {
  Close();
  m_hMutex.reset(CreateMutexW(nullptr, FALSE, name));
  return m_hMutex != nullptr;
}

DWORD CNamedMutex::WaitResult(DWORD milliseconds) {
  if (!m_hMutex) return WAIT_FAILED;
  return WaitForSingleObject(m_hMutex.get(), milliseconds);
}

bool CNamedMutex::Wait(DWORD milliseconds) { return WaitResult(milliseconds) == WAIT_OBJECT_0; }

void CNamedMutex::Release() {
  if (m_hMutex) ReleaseMutex(m_hMutex.get());
}

void CNamedMutex::Close() { m_hMutex.reset(); }
