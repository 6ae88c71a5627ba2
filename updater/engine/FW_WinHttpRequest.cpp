#include "FW_WinHttpRequest.h"

#include <platform/Kernel.h>

#include <atomic>

#include "FW_WinHttpConnection.h"
#include "FW_WinHttpSession.h"

static DWORD Outcome(BOOL ok) { return ok ? 0 : GetLastError(); }

static std::atomic<int> g_timeoutForTests{0};

void FW_WinHttpRequest::SetTimeoutForTests(int ms) { g_timeoutForTests.store(ms); }

FW_WinHttpRequest::~FW_WinHttpRequest() {
  // The request's notifications carry this object's address: stop them before
  // the handle closes, or its HANDLE_CLOSING would reach a destroyed object.
  ClearCallback();
}

void FW_WinHttpRequest::ClearCallback() {
  if (m_hInternet) WinHttpSetStatusCallback(m_hInternet, nullptr, 0, 0);
  m_pCallback = nullptr;
}

bool FW_WinHttpRequest::IsAsync() const {
  return m_pConnection && m_pConnection->Session() && m_pConnection->Session()->IsAsync();
}

DWORD FW_WinHttpRequest::Open(const std::wstring& verb, const std::wstring& object,
                              FW_WinHttpConnection* connection, int context) {
  m_hInternet = WinHttpOpenRequest(connection ? connection->Handle() : nullptr, verb.c_str(), object.c_str(),
                                   nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  if (!m_hInternet) return GetLastError();
  m_pConnection = connection;
  m_nContext = context;
  const int timeout = g_timeoutForTests.load() > 0 ? g_timeoutForTests.load() : 20000;
  WinHttpSetTimeouts(m_hInternet, timeout, timeout, timeout, timeout);
  return 0;
}

DWORD FW_WinHttpRequest::SetProxy(const WINHTTP_PROXY_INFO* proxy) {
  return Outcome(WinHttpSetOption(m_hInternet, WINHTTP_OPTION_PROXY, const_cast<WINHTTP_PROXY_INFO*>(proxy),
                                  sizeof(WINHTTP_PROXY_INFO)));
}

DWORD FW_WinHttpRequest::SetProxyCredentials(const std::wstring& user, const std::wstring& password) {
  if (!WinHttpSetOption(m_hInternet, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(user.c_str()),
                        static_cast<DWORD>(user.size()))) {
    return GetLastError();
  }
  return Outcome(WinHttpSetOption(m_hInternet, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(password.c_str()),
                                  static_cast<DWORD>(password.size())));
}

DWORD FW_WinHttpRequest::SetCallback(FW_RequestCallBack* callback) {
  if (WinHttpSetStatusCallback(m_hInternet, &FW_WinHttpRequest::StatusCallback,
                               WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
    return GetLastError();
  }
  m_pCallback = callback;
  return 0;
}

DWORD FW_WinHttpRequest::AddHeaders(const std::wstring& headers, int length) {
  return Outcome(WinHttpAddRequestHeaders(m_hInternet, headers.c_str(), static_cast<DWORD>(length),
                                          WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE));
}

DWORD FW_WinHttpRequest::QueryHeader(DWORD infoLevel, void* buffer, DWORD byteLength) {
  return Outcome(WinHttpQueryHeaders(m_hInternet, infoLevel, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &byteLength,
                                     WINHTTP_NO_HEADER_INDEX));
}

DWORD FW_WinHttpRequest::QueryHeaderNumber(DWORD infoLevel, DWORD* number) {
  DWORD length = sizeof(DWORD);
  return Outcome(WinHttpQueryHeaders(m_hInternet, infoLevel | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                                     number, &length, WINHTTP_NO_HEADER_INDEX));
}

DWORD FW_WinHttpRequest::SendRequest(DWORD totalLength) {
  return Outcome(WinHttpSendRequest(m_hInternet, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                    totalLength, reinterpret_cast<DWORD_PTR>(this)));
}

DWORD FW_WinHttpRequest::WriteData(const void* buffer, DWORD length) {
  DWORD written = 0;
  return Outcome(WinHttpWriteData(m_hInternet, buffer, length, IsAsync() ? nullptr : &written));
}

DWORD FW_WinHttpRequest::ReadData(void* buffer, DWORD length) {
  DWORD read = 0;
  return Outcome(WinHttpReadData(m_hInternet, buffer, length, IsAsync() ? nullptr : &read));
}

DWORD FW_WinHttpRequest::ReceiveResponse() { return Outcome(WinHttpReceiveResponse(m_hInternet, nullptr)); }

void FW_WinHttpRequest::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
  auto* request = reinterpret_cast<FW_WinHttpRequest*>(context);
  if (!request) return;
  FW_RequestCallBack* callback = request->m_pCallback;
  if (!callback) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      callback->OnRequestError(static_cast<const WINHTTP_ASYNC_RESULT*>(info));
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      request->m_pCallback = nullptr;
      callback->OnHandleClosing();
      break;
    case WINHTTP_CALLBACK_STATUS_REDIRECT:
      callback->OnRedirect(info ? std::wstring(static_cast<const wchar_t*>(info), infoLength) : std::wstring());
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      callback->OnSendRequestComplete();
      break;
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
      callback->OnWriteComplete(info ? *static_cast<const DWORD*>(info) : 0);
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      callback->OnHeadersAvailable();
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      callback->OnDataAvailable(info ? *static_cast<const DWORD*>(info) : 0);
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      callback->OnReadComplete(infoLength);
      break;
    default:
      break;
  }
}
