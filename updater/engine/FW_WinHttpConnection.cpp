#include "FW_WinHttpConnection.h"

#include <platform/Kernel.h>

#include "FW_WinHttpSession.h"

DWORD FW_WinHttpConnection::Connect(const std::wstring& host, INTERNET_PORT port, FW_WinHttpSession* session) {
  m_pSession = session;
  m_hInternet = WinHttpConnect(session ? session->Handle() : nullptr, host.c_str(), port, 0);
  return m_hInternet ? 0 : GetLastError();
}
