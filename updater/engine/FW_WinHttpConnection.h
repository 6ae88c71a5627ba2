// A WinHTTP connection handle to one server, on a session.
#pragma once

#include <string>

#include "FW_WinHttpHandle.h"

class FW_WinHttpSession;

class FW_WinHttpConnection : public FW_WinHttpHandle {
 public:
  // 0 or the error.
  DWORD Connect(const std::wstring& host, INTERNET_PORT port, FW_WinHttpSession* session);
  FW_WinHttpSession* Session() const { return m_pSession; }

 private:
  FW_WinHttpSession* m_pSession = nullptr;
};
