#include "CurlError.h"
#include <platform/Log.h>

#include <QtGlobal>

#include <platform/WinHttp.h>
#include <platform/Log.h>

namespace {

struct CurlToWinHttp {
  CURLcode code;
  DWORD error;
};

constexpr CurlToWinHttp kCurlToWinHttp[] = {
    {CURLE_COULDNT_RESOLVE_HOST, ERROR_WINHTTP_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_RESOLVE_PROXY, ERROR_WINHTTP_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_CONNECT, ERROR_WINHTTP_CANNOT_CONNECT},
    {CURLE_OPERATION_TIMEDOUT, ERROR_WINHTTP_TIMEOUT},
    // The peer reset or closed the connection, or the body ended early.
    {CURLE_RECV_ERROR, ERROR_WINHTTP_CONNECTION_ERROR},
    {CURLE_SEND_ERROR, ERROR_WINHTTP_CONNECTION_ERROR},
    {CURLE_PARTIAL_FILE, ERROR_WINHTTP_CONNECTION_ERROR},
    {CURLE_GOT_NOTHING, ERROR_WINHTTP_CONNECTION_ERROR},
    {CURLE_WEIRD_SERVER_REPLY, ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
    {CURLE_BAD_CONTENT_ENCODING, ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
    {CURLE_TOO_MANY_REDIRECTS, ERROR_WINHTTP_REDIRECT_FAILED},
    // Only http is allowed, so this is a redirect to another scheme.
    {CURLE_UNSUPPORTED_PROTOCOL, ERROR_WINHTTP_REDIRECT_FAILED},
    // A redirect or an authentication round that would have to send an upload body again.
    {CURLE_SEND_FAIL_REWIND, ERROR_WINHTTP_REDIRECT_FAILED},
    {CURLE_URL_MALFORMAT, ERROR_WINHTTP_INVALID_URL},
    {CURLE_ABORTED_BY_CALLBACK, ERROR_WINHTTP_OPERATION_CANCELLED},
    {CURLE_WRITE_ERROR, ERROR_WINHTTP_OPERATION_CANCELLED},
    {CURLE_READ_ERROR, ERROR_WINHTTP_OPERATION_CANCELLED},
    {CURLE_OUT_OF_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
};

}  // namespace

DWORD WinHttpErrorFromCurl(CURLcode code) {
  if (code == CURLE_OK) return ERROR_SUCCESS;
  for (const CurlToWinHttp& entry : kCurlToWinHttp) {
    if (entry.code == code) return entry.error;
  }
  PlatformLog("winhttp: libcurl result %d (%s) has no WinHTTP error; reporting INTERNAL_ERROR",
           static_cast<int>(code), curl_easy_strerror(code));
  return ERROR_WINHTTP_INTERNAL_ERROR;
}
