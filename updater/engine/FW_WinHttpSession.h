// The WinHTTP session of a transfer manager.
#pragma once

#include <string>

#include "FW_WinHttpHandle.h"

class FW_WinHttpSession : public FW_WinHttpHandle {
 public:
  // 0 or the error.
  DWORD Open(const std::wstring& userAgent, bool async);
  bool IsAsync() const { return m_bAsync; }

 private:
  bool m_bAsync = false;
};
