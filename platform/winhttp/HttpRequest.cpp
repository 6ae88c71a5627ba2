#include "HttpRequest.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "HttpWorker.h"
#include <platform/Log.h>
#include <platform/Strings.h>

namespace {
// Set while this thread delivers a notification inline: a callback that reads
// again from there goes through the worker, so the stack stays flat.
thread_local int g_inlineDepth = 0;
}  // namespace

std::string HttpRequest::HeaderName(const std::string& line) { return line.substr(0, line.find(':')); }

HttpRequest::HttpRequest(std::shared_ptr<HttpConnection> connection, std::string verb, std::string path)
    : connection_(std::move(connection)), verb_(std::move(verb)), path_(std::move(path)) {
  timeouts_ = connection_->session()->timeouts();
}

HttpRequest::~HttpRequest() = default;

HttpWorker& HttpRequest::worker() const { return *connection_->session()->worker(); }

bool HttpRequest::Post(void (HttpRequest::*call)(), bool wake) {
  std::shared_ptr<HttpRequest> self = shared_from_this();
  return worker().Post([self, call] { ((*self).*call)(); }, wake);
}

// ---- Calls of any thread.

void HttpRequest::SetHandle(HINTERNET handle) {
  std::lock_guard<std::mutex> guard(lock_);
  handle_ = handle;
}

void HttpRequest::SetTimeouts(const HttpTimeouts& timeouts) {
  std::lock_guard<std::mutex> guard(lock_);
  timeouts_ = timeouts;
}

DWORD HttpRequest::SetProxy(const WINHTTP_PROXY_INFO& info) {
  std::lock_guard<std::mutex> guard(lock_);
  if (sent_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
    namedProxy_ = false;
    proxy_.clear();
    return ERROR_SUCCESS;
  }
  // "http=host:port" or a plain "host:port", among entries for other schemes.
  const std::string list = WideToUtf8(info.lpszProxy);
  std::string chosen;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find_first_of("; \t", start);
    if (end == std::string::npos) end = list.size();
    const std::string entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    const size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      if (chosen.empty()) chosen = entry;
    } else if (strncasecmp(entry.c_str(), "http=", 5) == 0) {
      chosen = entry.substr(5);
      break;
    }
  }
  if (chosen.empty()) {
    PlatformLog("winhttp: proxy list \"%s\" names no http proxy", list.c_str());
    return ERROR_INVALID_PARAMETER;
  }
  namedProxy_ = true;
  proxy_ = chosen;
  return ERROR_SUCCESS;
}

DWORD HttpRequest::SetProxyUser(std::string user) {
  std::lock_guard<std::mutex> guard(lock_);
  if (sent_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  proxyUser_ = std::move(user);
  return ERROR_SUCCESS;
}

DWORD HttpRequest::SetProxyPassword(std::string password) {
  std::lock_guard<std::mutex> guard(lock_);
  if (sent_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  proxyPassword_ = std::move(password);
  return ERROR_SUCCESS;
}

WINHTTP_STATUS_CALLBACK HttpRequest::SetCallback(WINHTTP_STATUS_CALLBACK callback, DWORD flags) {
  std::lock_guard<std::mutex> guard(lock_);
  WINHTTP_STATUS_CALLBACK previous = callback_;
  callback_ = callback;
  callbackFlags_ = flags;
  return previous;
}

DWORD HttpRequest::AddHeaders(const std::string& text, DWORD modifiers) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos) return ERROR_WINHTTP_INVALID_HEADER;
    lines.push_back(std::move(line));
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (sent_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  for (std::string& line : lines) {
    const std::string name = HeaderName(line);
    auto same = std::find_if(headers_.begin(), headers_.end(), [&name](const std::string& old) {
      return strcasecmp(HeaderName(old).c_str(), name.c_str()) == 0;
    });
    if (same != headers_.end() && (modifiers & WINHTTP_ADDREQ_FLAG_REPLACE)) {
      *same = std::move(line);
    } else if (modifiers & WINHTTP_ADDREQ_FLAG_ADD) {
      headers_.push_back(std::move(line));
    } else if (same == headers_.end()) {
      return ERROR_WINHTTP_HEADER_NOT_FOUND;
    }
  }
  return ERROR_SUCCESS;
}

DWORD HttpRequest::Send(DWORD totalLength, DWORD_PTR context) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (sent_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    sent_ = true;
    totalLength_ = totalLength;
    context_ = context;
  }
  return Post(&HttpRequest::DoStart) ? ERROR_SUCCESS : ERROR_WINHTTP_OPERATION_CANCELLED;
}

DWORD HttpRequest::Write(const void* buffer, DWORD length) {
  if (!buffer && length) return ERROR_INVALID_PARAMETER;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!sent_ || receiveCalled_ || dead_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    writeBuffer_ = buffer;
    writeLength_ = length;
  }
  return Post(&HttpRequest::DoWrite) ? ERROR_SUCCESS : ERROR_WINHTTP_OPERATION_CANCELLED;
}

DWORD HttpRequest::Receive() {
  bool now = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!sent_ || receiveCalled_ || dead_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    receiveCalled_ = true;
    // The head is already in: the worker will not note it again, as no
    // receive is pending there.
    now = headPublished_ && !closed_ && MayCompleteInline();
  }
  if (now) {
    CompleteInline(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, nullptr, 0);
    return ERROR_SUCCESS;
  }
  return Post(&HttpRequest::DoReceive) ? ERROR_SUCCESS : ERROR_WINHTTP_OPERATION_CANCELLED;
}

DWORD HttpRequest::Read(void* buffer, DWORD length) {
  if (!buffer && length) return ERROR_INVALID_PARAMETER;
  bool now = false;
  bool resume = false;
  size_t n = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!receiveCalled_ || dead_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    readStarted_ = true;
    if (length > 0 && !closed_ && (bodyOffset_ < body_.size() || bodyEnded_) && MayCompleteInline()) {
      now = true;
      n = TakeBody(buffer, length, &resume);
      endTaken_ = n == 0;
    } else {
      readBuffer_ = buffer;
      readLength_ = length;
    }
  }
  if (!now) return Post(&HttpRequest::DoRead) ? ERROR_SUCCESS : ERROR_WINHTTP_OPERATION_CANCELLED;
  if (resume) Post(&HttpRequest::DoResume);
  CompleteInline(WINHTTP_CALLBACK_STATUS_READ_COMPLETE, buffer, static_cast<DWORD>(n));
  return ERROR_SUCCESS;
}

bool HttpRequest::MayCompleteInline() const { return g_inlineDepth == 0 && !worker().OnWorkerThread(); }

size_t HttpRequest::TakeBody(void* buffer, DWORD length, bool* resume) {
  const size_t n = std::min<size_t>(length, body_.size() - bodyOffset_);
  if (n) std::memcpy(buffer, body_.data() + bodyOffset_, n);
  bodyOffset_ += n;
  if (bodyOffset_ == body_.size()) {
    body_.clear();
    bodyOffset_ = 0;
  } else if (bodyOffset_ >= 65536 && bodyOffset_ * 2 >= body_.size()) {
    body_.erase(0, bodyOffset_);
    bodyOffset_ = 0;
  }
  *resume = bodyPaused_ && body_.size() - bodyOffset_ < kBodyBufferLimit;
  if (*resume) bodyPaused_ = false;
  return n;
}

void HttpRequest::CompleteInline(DWORD status, void* buffer, DWORD number) {
  HttpNote note;
  note.request = shared_from_this();
  note.status = status;
  note.buffer = buffer;
  note.number = number;
  ++g_inlineDepth;
  worker().DeliverNow(note);
  --g_inlineDepth;
}

DWORD HttpRequest::Query(DWORD infoLevel, void* buffer, DWORD* bufferLength) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!headPublished_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  return publishedHead_.Query(infoLevel, buffer, bufferLength);
}

void HttpRequest::Close() {
  bool now = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    now = endTaken_ && MayCompleteInline();
  }
  // The worker still cleans up; its own HANDLE_CLOSING then finds this one
  // delivered (or this one finds the worker's) and goes nowhere. After the
  // body's end nothing of the request is in flight: no need to wake it.
  if (!Post(&HttpRequest::DoClose, !now)) PlatformLog("winhttp: a request closed after its session's worker ended");
  if (now) CompleteInline(WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING, nullptr, 0);
}

bool HttpRequest::ListenerFor(DWORD status, Listener* listener) {
  std::lock_guard<std::mutex> guard(lock_);
  if (closingDelivered_) return false;
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) closingDelivered_ = true;
  listener->callback = callback_;
  listener->flags = callbackFlags_;
  listener->context = context_;
  listener->handle = handle_;
  return true;
}
