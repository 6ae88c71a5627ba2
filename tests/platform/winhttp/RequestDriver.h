// Drives one WinHTTP request the way the transfer engine does (send, write the
// body in pieces, receive, read until the end) and records its notifications.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <platform/WinHttp.h>

struct RequestSpec {
  std::wstring verb = L"GET";
  std::wstring path = L"/";
  std::wstring range;  // "bytes=a-b", empty for none
  std::string upload;  // a POST body
  size_t writeSize = 10240;
  int receiveTimeoutMs = 20000;
  bool closeAtEnd = true;  // close the request after its last read or an error
};

class RequestDriver {
 public:
  RequestDriver();
  ~RequestDriver();

  bool Connect(const std::string& host, INTERNET_PORT port);
  // Opens, configures and sends the request; false when a call fails at once.
  bool Start(const RequestSpec& spec);
  bool WaitClosed(int timeoutMs = 10000);
  bool WaitFor(const std::string& event, int timeoutMs = 10000);
  bool WaitForBody(size_t size, int timeoutMs = 10000);
  void Close();

  // One word per notification; runs of READ_COMPLETE with data become one "READ".
  std::vector<std::string> Events() const;
  std::string Body() const;
  DWORD status() const { return status_; }
  std::wstring contentRange() const { return contentRange_; }
  HINTERNET request() const { return request_; }
  HINTERNET connection() const { return connection_; }
  HINTERNET session() const { return session_; }
  std::vector<size_t> writes() const;

 private:
  static void Status(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length);
  void On(HINTERNET h, DWORD status, LPVOID info, DWORD length);
  void Add(const std::string& event);
  void WriteNext(HINTERNET h);

  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  RequestSpec spec_;
  size_t sent_ = 0;
  std::vector<char> buffer_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<size_t> writes_;
  std::string body_;
  bool closed_ = false;
  DWORD status_ = 0;
  std::wstring contentRange_;
};
