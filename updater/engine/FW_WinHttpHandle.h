// One WinHTTP handle, closed with its owner.
#pragma once

#include <platform/WinHttp.h>

class FW_WinHttpHandle {
 public:
  FW_WinHttpHandle() = default;
  virtual ~FW_WinHttpHandle();
  FW_WinHttpHandle(const FW_WinHttpHandle&) = delete;
  FW_WinHttpHandle& operator=(const FW_WinHttpHandle&) = delete;

  // TRUE at once without a handle; else WinHttpCloseHandle's result, the handle gone either way.
  virtual BOOL Close();
  HINTERNET Handle() const { return m_hInternet; }

 protected:
  HINTERNET m_hInternet = nullptr;
};
