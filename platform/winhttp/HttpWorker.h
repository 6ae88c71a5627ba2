// The one thread of a session: it owns the libcurl multi handle, runs every
// call on a request that other threads hand it, and delivers notifications.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "CurlOwners.h"
#include <platform/WinHttp.h>

class HttpRequest;

// One notification waiting to be delivered outside libcurl's callbacks.
struct HttpNote {
  std::shared_ptr<HttpRequest> request;
  DWORD status = 0;
  WINHTTP_ASYNC_RESULT result{};
  DWORD number = 0;
  std::wstring text;
  LPVOID buffer = nullptr;
};

class HttpWorker {
 public:
  static std::shared_ptr<HttpWorker> Start();
  ~HttpWorker();

  // Hands a call to the worker; false once it has ended. A call that is no
  // hurry (a clean-up) need not wake it: it runs at the worker's next turn,
  // within its idle check.
  bool Post(std::function<void()> call, bool wake = true);
  // A request counts from its opening to its HANDLE_CLOSING: the worker ends
  // only after the session closed and every request is gone.
  bool AddRequest();
  void CloseSession();

  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  // Delivers a notification on the calling thread, for a call that completes
  // at once. A HANDLE_CLOSING counts once, whichever thread delivers it.
  void DeliverNow(const HttpNote& note) { Deliver(note); }

  // Worker thread only.
  CURLM* multi() const { return multi_.get(); }
  void Queue(HttpNote note) { notes_.push_back(std::move(note)); }
  void Activate(const std::shared_ptr<HttpRequest>& request);
  void Deactivate(HttpRequest* request);

 private:
  HttpWorker() = default;
  void Run();
  void RunCalls();
  void DrainDone();
  int CheckTimers();
  void Deliver();
  void Deliver(const HttpNote& note);
  bool ShouldEnd();
  bool HasCalls();

  CurlMultiPtr multi_;
  std::thread thread_;
  std::mutex lock_;
  std::deque<std::function<void()>> calls_;
  bool alive_ = true;
  bool sessionClosed_ = false;
  int liveRequests_ = 0;
  // Worker thread only.
  std::deque<HttpNote> notes_;
  std::unordered_map<HttpRequest*, std::shared_ptr<HttpRequest>> active_;
};
