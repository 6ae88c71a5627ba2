// The WinHTTP calls of the updater's transfer engine, over libcurl's multi
// interface. Only asynchronous sessions exist: every notification arrives on
// the session's one worker thread.
#pragma once

#include <platform/Win32Types.h>

// Distinct from HANDLE: a kernel handle never passes for a WinHTTP one.
struct HINTERNET__;
typedef HINTERNET__* HINTERNET;
typedef WORD INTERNET_PORT;
typedef ULONG_PTR DWORD_PTR;

typedef void (*WINHTTP_STATUS_CALLBACK)(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);
#define WINHTTP_INVALID_STATUS_CALLBACK (reinterpret_cast<WINHTTP_STATUS_CALLBACK>(static_cast<intptr_t>(-1)))

struct WINHTTP_ASYNC_RESULT {
  DWORD_PTR dwResult;  // the API_* call that failed
  DWORD dwError;
};

struct WINHTTP_PROXY_INFO {
  DWORD dwAccessType;
  LPWSTR lpszProxy;
  LPWSTR lpszProxyBypass;
};

// WinHttpOpen
#define WINHTTP_ACCESS_TYPE_DEFAULT_PROXY 0u
#define WINHTTP_ACCESS_TYPE_NO_PROXY 1u
#define WINHTTP_ACCESS_TYPE_NAMED_PROXY 3u
#define WINHTTP_NO_PROXY_NAME nullptr
#define WINHTTP_NO_PROXY_BYPASS nullptr
#define WINHTTP_FLAG_ASYNC 0x10000000u

// WinHttpOpenRequest
#define WINHTTP_NO_REFERER nullptr
#define WINHTTP_DEFAULT_ACCEPT_TYPES nullptr

// WinHttpSetOption
#define WINHTTP_OPTION_PROXY 38u
#define WINHTTP_OPTION_PROXY_USERNAME 0x1002u
#define WINHTTP_OPTION_PROXY_PASSWORD 0x1003u

// WinHttpAddRequestHeaders
#define WINHTTP_ADDREQ_FLAG_ADD 0x20000000u
#define WINHTTP_ADDREQ_FLAG_REPLACE 0x80000000u

// WinHttpSendRequest
#define WINHTTP_NO_ADDITIONAL_HEADERS nullptr
#define WINHTTP_NO_REQUEST_DATA nullptr

// WinHttpQueryHeaders
#define WINHTTP_QUERY_CONTENT_LENGTH 5u
#define WINHTTP_QUERY_STATUS_CODE 19u
#define WINHTTP_QUERY_CONTENT_RANGE 53u
#define WINHTTP_QUERY_FLAG_NUMBER 0x20000000u
#define WINHTTP_HEADER_NAME_BY_INDEX nullptr
#define WINHTTP_NO_HEADER_INDEX nullptr

// Notifications.
#define WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING 0x00000800u
#define WINHTTP_CALLBACK_STATUS_REDIRECT 0x00004000u
#define WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE 0x00020000u
#define WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE 0x00040000u
#define WINHTTP_CALLBACK_STATUS_READ_COMPLETE 0x00080000u
#define WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE 0x00100000u
#define WINHTTP_CALLBACK_STATUS_REQUEST_ERROR 0x00200000u
#define WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE 0x00400000u
#define WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS 0xFFFFFFFFu

// The call a REQUEST_ERROR reports on.
#define API_RECEIVE_RESPONSE 1u
#define API_QUERY_DATA_AVAILABLE 2u
#define API_READ_DATA 3u
#define API_WRITE_DATA 4u
#define API_SEND_REQUEST 5u

// Errors.
#define ERROR_WINHTTP_TIMEOUT 12002u
#define ERROR_WINHTTP_INTERNAL_ERROR 12004u
#define ERROR_WINHTTP_INVALID_URL 12005u
#define ERROR_WINHTTP_NAME_NOT_RESOLVED 12007u
#define ERROR_WINHTTP_INVALID_OPTION 12009u
#define ERROR_WINHTTP_OPERATION_CANCELLED 12017u
#define ERROR_WINHTTP_INCORRECT_HANDLE_TYPE 12018u
#define ERROR_WINHTTP_INCORRECT_HANDLE_STATE 12019u
#define ERROR_WINHTTP_CANNOT_CONNECT 12029u
#define ERROR_WINHTTP_CONNECTION_ERROR 12030u
#define ERROR_WINHTTP_RESEND_REQUEST 12032u
#define ERROR_WINHTTP_HEADER_NOT_FOUND 12150u
#define ERROR_WINHTTP_INVALID_HEADER 12153u
#define ERROR_WINHTTP_INVALID_SERVER_RESPONSE 12152u
#define ERROR_WINHTTP_INVALID_QUERY_REQUEST 12154u
#define ERROR_WINHTTP_REDIRECT_FAILED 12156u

HINTERNET WinHttpOpen(LPCWSTR agent, DWORD accessType, LPCWSTR proxyName, LPCWSTR proxyBypass, DWORD flags);
HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, DWORD reserved);
HINTERNET WinHttpOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags);
// On a session: the values new requests start with; on a request: its own.
// Resolving is not timed (names resolve locally); send covers the request's
// head, receive a response byte.
BOOL WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout, int sendTimeout,
                        int receiveTimeout);
BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
WINHTTP_STATUS_CALLBACK WinHttpSetStatusCallback(HINTERNET handle, WINHTTP_STATUS_CALLBACK callback,
                                                 DWORD notificationFlags, DWORD_PTR reserved);
BOOL WinHttpAddRequestHeaders(HINTERNET request, LPCWSTR headers, DWORD headersLength, DWORD modifiers);
BOOL WinHttpSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR context);
// The buffer stays the caller's until WRITE_COMPLETE / READ_COMPLETE.
BOOL WinHttpWriteData(HINTERNET request, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten);
BOOL WinHttpReceiveResponse(HINTERNET request, LPVOID reserved);
BOOL WinHttpQueryHeaders(HINTERNET request, DWORD infoLevel, LPCWSTR name, LPVOID buffer, LPDWORD bufferLength,
                         LPDWORD index);
BOOL WinHttpReadData(HINTERNET request, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead);
// A request's HANDLE_CLOSING is its last notification; closing one that is
// still transferring aborts it, and a pending call ends with 12017 first.
BOOL WinHttpCloseHandle(HINTERNET handle);
