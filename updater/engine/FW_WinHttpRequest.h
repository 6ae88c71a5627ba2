// One WinHTTP request of a transfer connection. Every call returns 0 or the
// WinHTTP / Win32 error; notifications go to the FW_RequestCallBack set on it.
#pragma once

#include <string>

#include "FW_RequestCallBack.h"
#include "FW_WinHttpHandle.h"

class FW_WinHttpConnection;

class FW_WinHttpRequest : public FW_WinHttpHandle {
 public:
  ~FW_WinHttpRequest() override;

  // Opens the request and gives it the engine's 20 s time-outs.
  DWORD Open(const std::wstring& verb, const std::wstring& object, FW_WinHttpConnection* connection, int context);
  DWORD SetProxy(const WINHTTP_PROXY_INFO* proxy);
  // The first failure ends it: no password without the user name.
  DWORD SetProxyCredentials(const std::wstring& user, const std::wstring& password);
  DWORD SetCallback(FW_RequestCallBack* callback);
  // No notification of this request reaches anybody from here on, its
  // HANDLE_CLOSING included: for a request whose end its owner reports itself.
  void ClearCallback();
  DWORD AddHeaders(const std::wstring& headers, int length = -1);
  DWORD QueryHeader(DWORD infoLevel, void* buffer, DWORD byteLength);
  DWORD QueryHeaderNumber(DWORD infoLevel, DWORD* number);
  DWORD SendRequest(DWORD totalLength);
  DWORD WriteData(const void* buffer, DWORD length);
  DWORD ReadData(void* buffer, DWORD length);
  DWORD ReceiveResponse();

  int Context() const { return m_nContext; }
  FW_WinHttpConnection* Connection() const { return m_pConnection; }
  FW_RequestCallBack* Callback() const { return m_pCallback; }

  // Tests shorten the 20 s time-outs of later requests; 0 restores them.
  static void SetTimeoutForTests(int ms);

  // Registered for every request; the context is the request object.
  static void StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength);

 private:
  bool IsAsync() const;

  int m_nContext = 0;
  FW_WinHttpConnection* m_pConnection = nullptr;
  FW_RequestCallBack* m_pCallback = nullptr;
};
