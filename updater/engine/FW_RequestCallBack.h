// What a request's asynchronous notifications are turned into. The slots run
// on the WinHTTP worker thread: an implementation only hands the event over to
// its own thread.
#pragma once

#include <string>

#include <platform/WinHttp.h>

class FW_RequestCallBack {
 public:
  virtual void OnRequestError(const WINHTTP_ASYNC_RESULT* /*result*/) {}
  // The request's callback pointer is already cleared: nothing follows this.
  virtual void OnHandleClosing() {}
  virtual void OnRedirect(const std::wstring& /*url*/) {}
  virtual void OnSendRequestComplete() {}
  virtual void OnWriteComplete(DWORD /*bytesWritten*/) {}
  virtual void OnHeadersAvailable() {}
  virtual void OnDataAvailable(DWORD /*bytesAvailable*/) {}
  virtual void OnReadComplete(DWORD /*bytesRead*/) {}

 protected:
  ~FW_RequestCallBack() = default;
};
