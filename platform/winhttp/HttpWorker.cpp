#include "HttpWorker.h"

#include <platform/ExceptionFilter.h>
#include <platform/Log.h>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <vector>

#include "HttpRequest.h"

static void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::shared_ptr<HttpWorker> HttpWorker::Start() {
  InitCurlOnce();
  std::shared_ptr<HttpWorker> worker(new HttpWorker);
  worker->multi_.reset(curl_multi_init());
  if (!worker->multi_) {
    PlatformLog("winhttp: curl_multi_init failed");
    return nullptr;
  }
  // Enough idle connections for every connection the engine keeps open.
  curl_multi_setopt(worker->multi_.get(), CURLMOPT_MAXCONNECTS, 32L);
  // The thread keeps its worker alive until it has cleaned up.
  worker->thread_ = std::thread([worker] {
    InstallThreadCrashStack();
    worker->Run();
  });
  return worker;
}

HttpWorker::~HttpWorker() {
  if (thread_.joinable()) thread_.detach();
}

bool HttpWorker::Post(std::function<void()> call, bool wake) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!alive_) return false;
  calls_.push_back(std::move(call));
  // From a notification the worker itself runs the call before it polls again.
  if (wake && std::this_thread::get_id() != thread_.get_id()) curl_multi_wakeup(multi_.get());
  return true;
}

bool HttpWorker::AddRequest() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!alive_ || sessionClosed_) return false;
  ++liveRequests_;
  return true;
}

void HttpWorker::CloseSession() {
  bool join = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    sessionClosed_ = true;
    if (alive_) curl_multi_wakeup(multi_.get());
    join = liveRequests_ == 0 && std::this_thread::get_id() != thread_.get_id();
  }
  // With requests still open the worker outlives the session handle and ends
  // after their HANDLE_CLOSING; nobody waits for it then.
  if (join) {
    thread_.join();
  } else if (thread_.joinable()) {
    thread_.detach();
  }
}

void HttpWorker::Activate(const std::shared_ptr<HttpRequest>& request) { active_[request.get()] = request; }

void HttpWorker::Deactivate(HttpRequest* request) { active_.erase(request); }

bool HttpWorker::HasCalls() {
  std::lock_guard<std::mutex> guard(lock_);
  return !calls_.empty();
}

bool HttpWorker::ShouldEnd() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!sessionClosed_ || liveRequests_ > 0 || !calls_.empty()) return false;
  alive_ = false;
  return true;
}

void HttpWorker::Run() {
  for (;;) {
    RunCalls();
    Deliver();
    int running = 0;
    curl_multi_perform(multi_.get(), &running);
    DrainDone();
    Deliver();
    const int waitMs = CheckTimers();
    Deliver();
    if (ShouldEnd()) break;
    curl_multi_poll(multi_.get(), nullptr, 0, HasCalls() ? 0 : waitMs, nullptr);
  }
  // Every easy handle leaves the multi handle before it is cleaned up.
  for (auto& entry : active_) entry.second->Abandon();
  active_.clear();
  notes_.clear();
  multi_.reset();
}

void HttpWorker::RunCalls() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard<std::mutex> guard(lock_);
    calls.swap(calls_);
  }
  for (auto& call : calls) call();
}

void HttpWorker::DrainDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    char* privateData = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &privateData);
    auto it = active_.find(reinterpret_cast<HttpRequest*>(privateData));
    if (it == active_.end()) continue;
    // The message dies when the handle leaves the multi handle: keep the result first.
    const CURLcode result = message->data.result;
    it->second->OnDone(result);
  }
}

int HttpWorker::CheckTimers() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point now = Clock::now();
  int waitMs = 100;
  std::vector<std::shared_ptr<HttpRequest>> requests;
  requests.reserve(active_.size());
  for (auto& entry : active_) requests.push_back(entry.second);
  for (auto& request : requests) waitMs = std::min(waitMs, request->CheckTimer(now));
  return std::max(waitMs, 0);
}

void HttpWorker::Deliver() {
  while (!notes_.empty()) {
    HttpNote note = std::move(notes_.front());
    notes_.pop_front();
    Deliver(note);
  }
}

void HttpWorker::Deliver(const HttpNote& note) {
  HttpRequest::Listener listener;
  if (!note.request->ListenerFor(note.status, &listener)) return;
  if (note.status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    std::lock_guard<std::mutex> guard(lock_);
    --liveRequests_;
  }
  if (!listener.callback || (listener.flags & note.status) == 0) return;
  LPVOID info = nullptr;
  DWORD length = 0;
  DWORD number = note.number;
  WINHTTP_ASYNC_RESULT result = note.result;
  HINTERNET handle = listener.handle;
  switch (note.status) {
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
      info = &number;
      length = sizeof number;
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      info = note.buffer;
      length = note.number;
      break;
    case WINHTTP_CALLBACK_STATUS_REDIRECT:
      info = const_cast<wchar_t*>(note.text.c_str());
      length = static_cast<DWORD>(note.text.size());
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      info = &result;
      length = sizeof result;
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      info = &handle;
      length = sizeof handle;
      break;
    default:
      break;
  }
  listener.callback(listener.handle, listener.context, note.status, info, length);
}
