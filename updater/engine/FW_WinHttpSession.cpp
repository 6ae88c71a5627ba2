#include "FW_WinHttpSession.h"

#include <platform/Kernel.h>

DWORD FW_WinHttpSession::Open(const std::wstring& userAgent, bool async) {
  m_bAsync = async;
  m_hInternet = WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, async ? WINHTTP_FLAG_ASYNC : 0);
  return m_hInternet ? 0 : GetLastError();
}
