// The WinHTTP calls: look the handle up, check the arguments, and leave the
// rest to the session, connection or request object.
#include <QtGlobal>
#include <platform/Log.h>

#include <cstdlib>

#include "HttpRequest.h"
#include "HttpSession.h"
#include "HttpWorker.h"
#include "RequestPath.h"
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/WinHttp.h>
#include <platform/Log.h>

static BOOL Result(DWORD error) {
  SetLastError(error);
  return error == ERROR_SUCCESS ? TRUE : FALSE;
}

// ERROR_INVALID_HANDLE for an unknown handle, 12018 for one of another kind.
template <typename T>
static std::shared_ptr<T> Lookup(HINTERNET handle) {
  std::shared_ptr<InternetObject> object = LookupInternetObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  return typed;
}

HINTERNET WinHttpOpen(LPCWSTR agent, DWORD accessType, LPCWSTR, LPCWSTR, DWORD flags) {
  if (!(flags & WINHTTP_FLAG_ASYNC)) {
    PlatformLog("winhttp: only asynchronous sessions are supported");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (accessType != WINHTTP_ACCESS_TYPE_NO_PROXY && accessType != WINHTTP_ACCESS_TYPE_DEFAULT_PROXY) {
    PlatformLog("winhttp: a session takes its proxy per request; access type %u refused", accessType);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<HttpWorker> worker = HttpWorker::Start();
  if (!worker) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HINTERNET handle = RegisterInternetObject(std::make_shared<HttpSession>(WideToUtf8(agent), std::move(worker)));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, DWORD) {
  std::shared_ptr<HttpSession> owner = Lookup<HttpSession>(session);
  if (!owner) return nullptr;
  const std::string host = WideToUtf8(serverName);
  if (host.empty()) {
    SetLastError(ERROR_WINHTTP_INVALID_URL);
    return nullptr;
  }
  HINTERNET handle = RegisterInternetObject(std::make_shared<HttpConnection>(owner, host, port ? port : 80));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

HINTERNET WinHttpOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR, LPCWSTR,
                             LPCWSTR*, DWORD flags) {
  std::shared_ptr<HttpConnection> owner = Lookup<HttpConnection>(connection);
  if (!owner) return nullptr;
  if (flags != 0) {
    PlatformLog("winhttp: request flags 0x%x are not supported", flags);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!owner->session()->worker()->AddRequest()) {
    SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
    return nullptr;
  }
  const std::string method = verb && *verb ? WideToUtf8(verb) : std::string("GET");
  auto request = std::make_shared<HttpRequest>(owner, method, EscapeRequestPath(WideToUtf8(objectName)));
  HINTERNET handle = RegisterInternetObject(request);
  request->SetHandle(handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout, int sendTimeout,
                        int receiveTimeout) {
  std::shared_ptr<InternetObject> object = LookupInternetObject(handle);
  if (!object) return Result(ERROR_INVALID_HANDLE);
  if (resolveTimeout < -1 || connectTimeout < -1 || sendTimeout < -1 || receiveTimeout < -1) {
    return Result(ERROR_INVALID_PARAMETER);
  }
  const HttpTimeouts timeouts{resolveTimeout, connectTimeout, sendTimeout, receiveTimeout};
  if (auto session = std::dynamic_pointer_cast<HttpSession>(object)) {
    session->SetTimeouts(timeouts);
    return Result(ERROR_SUCCESS);
  }
  if (auto request = std::dynamic_pointer_cast<HttpRequest>(object)) {
    request->SetTimeouts(timeouts);
    return Result(ERROR_SUCCESS);
  }
  return Result(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
}

// The option's text: length in characters, the text up to its first zero character.
static std::string OptionText(LPVOID buffer, DWORD length) {
  const auto* text = static_cast<const wchar_t*>(buffer);
  std::wstring wide(text, length);
  wide.resize(wcsnlen(wide.c_str(), wide.size()));
  return WideToUtf8(wide);
}

BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  std::shared_ptr<HttpRequest> request = Lookup<HttpRequest>(handle);
  if (!request) return FALSE;
  switch (option) {
    case WINHTTP_OPTION_PROXY:
      if (!buffer || bufferLength < sizeof(WINHTTP_PROXY_INFO)) return Result(ERROR_INSUFFICIENT_BUFFER);
      return Result(request->SetProxy(*static_cast<const WINHTTP_PROXY_INFO*>(buffer)));
    case WINHTTP_OPTION_PROXY_USERNAME:
      if (!buffer && bufferLength) return Result(ERROR_INVALID_PARAMETER);
      return Result(request->SetProxyUser(OptionText(buffer, bufferLength)));
    case WINHTTP_OPTION_PROXY_PASSWORD:
      if (!buffer && bufferLength) return Result(ERROR_INVALID_PARAMETER);
      return Result(request->SetProxyPassword(OptionText(buffer, bufferLength)));
    default:
      PlatformLog("winhttp: option %u is not supported", option);
      return Result(ERROR_WINHTTP_INVALID_OPTION);
  }
}

WINHTTP_STATUS_CALLBACK WinHttpSetStatusCallback(HINTERNET handle, WINHTTP_STATUS_CALLBACK callback,
                                                 DWORD notificationFlags, DWORD_PTR) {
  std::shared_ptr<HttpRequest> request = Lookup<HttpRequest>(handle);
  if (!request) return WINHTTP_INVALID_STATUS_CALLBACK;
  SetLastError(ERROR_SUCCESS);
  return request->SetCallback(callback, notificationFlags);
}

BOOL WinHttpAddRequestHeaders(HINTERNET request, LPCWSTR headers, DWORD headersLength, DWORD modifiers) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  if (!headers) return Result(ERROR_INVALID_PARAMETER);
  const std::wstring text = headersLength == static_cast<DWORD>(-1) ? std::wstring(headers)
                                                                   : std::wstring(headers, headersLength);
  return Result(owner->AddHeaders(WideToUtf8(text), modifiers));
}

// Test hook: CORVANE_WINHTTP_FAIL_SEND=<error> makes every request start fail
// with that error before the request takes its context, as a start that
// fails early does. Read once.
static DWORD SendFailureForTests() {
  static const DWORD error = [] {
    const char* text = std::getenv("CORVANE_WINHTTP_FAIL_SEND");
    if (!text || !*text) return DWORD{0};
    const unsigned long value = std::strtoul(text, nullptr, 10);
    PlatformLog("winhttp: test hook: every request start fails with %lu", value);
    return static_cast<DWORD>(value);
  }();
  return error;
}

BOOL WinHttpSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR context) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  if (const DWORD failure = SendFailureForTests()) return Result(failure);
  if (optional || optionalLength) {
    PlatformLog("winhttp: a body goes out through WinHttpWriteData only");
    return Result(ERROR_INVALID_PARAMETER);
  }
  if (headers) {
    const DWORD added = owner->AddHeaders(WideToUtf8(headersLength == static_cast<DWORD>(-1)
                                                         ? std::wstring(headers)
                                                         : std::wstring(headers, headersLength)),
                                          WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    if (added != ERROR_SUCCESS) return Result(added);
  }
  return Result(owner->Send(totalLength, context));
}

BOOL WinHttpWriteData(HINTERNET request, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  // Asynchronous: the count arrives with WRITE_COMPLETE.
  if (bytesWritten) *bytesWritten = 0;
  return Result(owner->Write(buffer, bytesToWrite));
}

BOOL WinHttpReceiveResponse(HINTERNET request, LPVOID) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  return Result(owner->Receive());
}

BOOL WinHttpQueryHeaders(HINTERNET request, DWORD infoLevel, LPCWSTR name, LPVOID buffer, LPDWORD bufferLength,
                         LPDWORD index) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  if (name || index) return Result(ERROR_WINHTTP_INVALID_QUERY_REQUEST);
  return Result(owner->Query(infoLevel, buffer, bufferLength));
}

BOOL WinHttpReadData(HINTERNET request, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
  std::shared_ptr<HttpRequest> owner = Lookup<HttpRequest>(request);
  if (!owner) return FALSE;
  if (bytesRead) *bytesRead = 0;
  return Result(owner->Read(buffer, bytesToRead));
}

BOOL WinHttpCloseHandle(HINTERNET handle) {
  std::shared_ptr<InternetObject> object = UnregisterInternetObject(handle);
  if (!object) return Result(ERROR_INVALID_HANDLE);
  if (auto request = std::dynamic_pointer_cast<HttpRequest>(object)) {
    request->Close();
  } else if (auto session = std::dynamic_pointer_cast<HttpSession>(object)) {
    session->worker()->CloseSession();
  }
  return Result(ERROR_SUCCESS);
}
