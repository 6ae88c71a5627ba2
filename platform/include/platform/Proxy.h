// The WinINet proxy query the updater makes, answered from the environment's
// http_proxy (the Linux desktop's system proxy setting).
#pragma once

#include <platform/WinHttp.h>  // HINTERNET; WinINet handles are never opened here, only null is passed

struct INTERNET_PROXY_INFO {
  DWORD dwAccessType;
  LPCSTR lpszProxy;
  LPCSTR lpszProxyBypass;
};

#define INTERNET_OPTION_PROXY 38u
#define INTERNET_OPEN_TYPE_DIRECT 1u
#define INTERNET_OPEN_TYPE_PROXY 3u
#define ERROR_INTERNET_INVALID_OPTION 12009u
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018u

// INTERNET_OPTION_PROXY with no handle: INTERNET_OPEN_TYPE_PROXY with
// "host:port" when http_proxy names one, else INTERNET_OPEN_TYPE_DIRECT. The
// record and its texts go into one buffer; a buffer too small (or none) fails
// with ERROR_INSUFFICIENT_BUFFER and the size needed in *bufferLength.
BOOL InternetQueryOptionA(HINTERNET internet, DWORD option, LPVOID buffer, LPDWORD bufferLength);
