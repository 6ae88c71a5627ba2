#include "FW_WinHttpHandle.h"

FW_WinHttpHandle::~FW_WinHttpHandle() {
  // Not the virtual Close: a derived part is already gone here.
  if (m_hInternet) WinHttpCloseHandle(m_hInternet);
}

BOOL FW_WinHttpHandle::Close() {
  if (!m_hInternet) return TRUE;
  const BOOL closed = WinHttpCloseHandle(m_hInternet);
  m_hInternet = nullptr;
  return closed;
}
