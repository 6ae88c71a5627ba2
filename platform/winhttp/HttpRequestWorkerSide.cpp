#include "HttpRequest.h"

#include <algorithm>
#include <cstring>

#include "CurlError.h"
#include "HttpWorker.h"
#include <platform/Log.h>
#include <platform/Strings.h>

static bool IsFollowedRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The absolute form of a Location value, as the REDIRECT notification carries it.
static std::string ResolveLocation(const std::string& base, const std::string& location) {
  if (location.find("://") != std::string::npos) return location;
  const size_t schemeEnd = base.find("://");
  const size_t pathStart = base.find('/', schemeEnd == std::string::npos ? 0 : schemeEnd + 3);
  const std::string origin = base.substr(0, pathStart);
  if (location.compare(0, 2, "//") == 0) return "http:" + location;
  if (!location.empty() && location[0] == '/') return origin + location;
  const std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

void HttpRequest::Note(DWORD status) {
  HttpNote note;
  note.request = shared_from_this();
  note.status = status;
  worker().Queue(std::move(note));
}

void HttpRequest::NoteError(DWORD api, DWORD error) {
  HttpNote note;
  note.request = shared_from_this();
  note.status = WINHTTP_CALLBACK_STATUS_REQUEST_ERROR;
  note.result.dwResult = api;
  note.result.dwError = error;
  worker().Queue(std::move(note));
}

DWORD HttpRequest::ApiOf(Pending pending) {
  switch (pending) {
    case Pending::Send:
      return API_SEND_REQUEST;
    case Pending::Write:
      return API_WRITE_DATA;
    case Pending::Receive:
      return API_RECEIVE_RESPONSE;
    case Pending::Read:
      return API_READ_DATA;
    case Pending::None:
      break;
  }
  return 0;
}

void HttpRequest::DoStart() {
  worker().Activate(shared_from_this());
  pending_ = Pending::Send;
  lastProgress_ = Clock::now();
  if (!Configure()) {
    Fail(ERROR_WINHTTP_INTERNAL_ERROR);
    return;
  }
  const CURLMcode added = curl_multi_add_handle(worker().multi(), easy_.get());
  if (added != CURLM_OK) {
    PlatformLog("winhttp: curl_multi_add_handle failed: %s", curl_multi_strerror(added));
    Fail(ERROR_WINHTTP_INTERNAL_ERROR);
    return;
  }
  inMulti_ = true;
}
void HttpRequest::HeadOut() {
  if (headOut_) return;
  headOut_ = true;
  lastProgress_ = Clock::now();
  if (pending_ != Pending::Send) return;
  pending_ = Pending::None;
  bool body = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    body = totalLength_ > 0;
  }
  // A body goes out on the caller's writes, which wait for this notification.
  if (body) {
    Note(WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE);
    return;
  }
  sendHeld_ = true;
  sendHeldAt_ = lastProgress_;
}

void HttpRequest::ReleaseSend() {
  if (!sendHeld_) return;
  sendHeld_ = false;
  Note(WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE);
}

void HttpRequest::HeadFinal() {
  if (headFinal_) return;
  headFinal_ = true;
  ReleaseSend();
  {
    std::lock_guard<std::mutex> guard(lock_);
    publishedHead_ = head_;
    headPublished_ = true;
  }
  if (pending_ != Pending::Receive) return;
  pending_ = Pending::None;
  Note(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE);
}

void HttpRequest::Pause(int bits, bool paused) {
  pausedBits_ = paused ? (pausedBits_ | bits) : (pausedBits_ & ~bits);
  if (inMulti_) curl_easy_pause(easy_.get(), pausedBits_);
}

void HttpRequest::LeaveMulti() {
  if (!inMulti_) return;
  inMulti_ = false;
  curl_multi_remove_handle(worker().multi(), easy_.get());
}

void HttpRequest::ReportError(Pending pending) {
  NoteError(ApiOf(pending), error_);
  errorReported_ = true;
  pending_ = Pending::None;
  std::lock_guard<std::mutex> guard(lock_);
  dead_ = true;
}

void HttpRequest::Fail(DWORD error) {
  if (error_) return;
  error_ = error;
  LeaveMulti();
  // The request went out: the caller's receive is the call that fails.
  ReleaseSend();
  // With no call waiting, the next one reports it.
  if (pending_ != Pending::None) ReportError(pending_);
}

void HttpRequest::DoWrite() {
  const void* buffer;
  DWORD length;
  {
    std::lock_guard<std::mutex> guard(lock_);
    buffer = writeBuffer_;
    length = writeLength_;
  }
  if (error_) {
    ReportError(Pending::Write);
    return;
  }
  if (length == 0) {
    HttpNote note;
    note.request = shared_from_this();
    note.status = WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE;
    worker().Queue(std::move(note));
    return;
  }
  pending_ = Pending::Write;
  upload_ = static_cast<const unsigned char*>(buffer);
  uploadLeft_ = uploadLength_ = length;
  lastProgress_ = Clock::now();
  if (pausedBits_ & CURLPAUSE_SEND) Pause(CURLPAUSE_SEND, false);
}

void HttpRequest::DoReceive() {
  if (headFinal_) {
    Note(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE);
    return;
  }
  if (error_) {
    ReportError(Pending::Receive);
    return;
  }
  pending_ = Pending::Receive;
  lastProgress_ = Clock::now();
}

void HttpRequest::DoRead() {
  void* buffer;
  DWORD length;
  HttpNote note;
  note.request = shared_from_this();
  note.status = WINHTTP_CALLBACK_STATUS_READ_COMPLETE;
  bool resume = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    buffer = readBuffer_;
    length = readLength_;
    note.buffer = buffer;
    if (length > 0 && bodyOffset_ < body_.size()) note.number = static_cast<DWORD>(TakeBody(buffer, length, &resume));
  }
  if (note.number > 0) {
    worker().Queue(std::move(note));
    if (resume) DoResume();
    return;
  }
  if (bodyDone_ || length == 0) {
    worker().Queue(std::move(note));
    return;
  }
  if (error_) {
    ReportError(Pending::Read);
    return;
  }
  pending_ = Pending::Read;
  download_ = static_cast<unsigned char*>(buffer);
  downloadRoom_ = length;
  lastProgress_ = Clock::now();
  if (pausedBits_ & CURLPAUSE_RECV) Pause(CURLPAUSE_RECV, false);
}

void HttpRequest::DoResume() {
  if (pausedBits_ & CURLPAUSE_RECV) Pause(CURLPAUSE_RECV, false);
}

void HttpRequest::DoClose() {
  // A send whose completion is still held is, for the caller, a send still
  // waiting: it ends cancelled like one.
  const Pending pending = errorReported_ ? Pending::None : sendHeld_ ? Pending::Send : pending_;
  LeaveMulti();
  if (pending != Pending::None) NoteError(ApiOf(pending), ERROR_WINHTTP_OPERATION_CANCELLED);
  pending_ = Pending::None;
  sendHeld_ = false;
  Note(WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING);
  easy_.reset();
  headerList_.reset();
  worker().Deactivate(this);
}

void HttpRequest::Abandon() {
  LeaveMulti();
  easy_.reset();
}

void HttpRequest::OnDone(CURLcode result) {
  LeaveMulti();
  if (result != CURLE_OK) {
    Fail(WinHttpErrorFromCurl(result));
    return;
  }
  HeadOut();
  bodyDone_ = true;
  HeadFinal();
  {
    std::lock_guard<std::mutex> guard(lock_);
    bodyEnded_ = true;
  }
  if (pending_ == Pending::Read) {
    pending_ = Pending::None;
    HttpNote note;
    note.request = shared_from_this();
    note.status = WINHTTP_CALLBACK_STATUS_READ_COMPLETE;
    note.buffer = download_;
    worker().Queue(std::move(note));
  }
}

int HttpRequest::CheckTimer(Clock::time_point now) {
  constexpr int kIdleCheckMs = 100;
  if (sendHeld_) {
    const long long held = std::chrono::duration_cast<std::chrono::milliseconds>(now - sendHeldAt_).count();
    if (held < kSendHoldMs) return static_cast<int>(kSendHoldMs - held);
    // A slow answer: the caller goes on to its receive, and its time-out.
    ReleaseSend();
  }
  if (!inMulti_ || error_) return kIdleCheckMs;
  HttpTimeouts timeouts;
  {
    std::lock_guard<std::mutex> guard(lock_);
    timeouts = timeouts_;
  }
  int limit = 0;
  switch (pending_) {
    case Pending::Send:
      limit = timeouts.connect > 0 && timeouts.send > 0 ? timeouts.connect + timeouts.send : 0;
      break;
    case Pending::Write:
      limit = timeouts.send;
      break;
    case Pending::Receive:
    case Pending::Read:
      limit = timeouts.receive;
      break;
    case Pending::None:
      break;
  }
  if (limit <= 0) return kIdleCheckMs;
  const long long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgress_).count();
  if (elapsed >= limit) {
    Fail(ERROR_WINHTTP_TIMEOUT);
    return kIdleCheckMs;
  }
  return static_cast<int>(std::min<long long>(kIdleCheckMs, limit - elapsed));
}

// ---- libcurl's callbacks: they only record and queue; nothing calls back into libcurl.

size_t HttpRequest::OnHeaderLine(char* data, size_t size, size_t count, void* context) {
  auto* self = static_cast<HttpRequest*>(context);
  const size_t length = size * count;
  self->lastProgress_ = Clock::now();
  if (self->head_.Add(data, length) != ResponseHead::Line::End) return length;
  // An answer began: what the request sent is done.
  self->ReleaseSend();
  const int status = self->head_.status();
  if (status >= 100 && status < 200) return length;
  std::string location;
  if (IsFollowedRedirect(status) && self->head_.Find("Location", &location)) {
    // libcurl follows ten and fails on the eleventh.
    if (self->redirects_ < 10) {
      ++self->redirects_;
      self->url_ = ResolveLocation(self->url_, location);
      HttpNote note;
      note.request = self->shared_from_this();
      note.status = WINHTTP_CALLBACK_STATUS_REDIRECT;
      note.text = Utf8ToWide(self->url_);
      self->worker().Queue(std::move(note));
    }
    return length;
  }
  bool challengeAnswered = false;
  {
    std::lock_guard<std::mutex> guard(self->lock_);
    challengeAnswered = self->namedProxy_ && !self->proxyUser_.empty() && self->totalLength_ == 0;
  }
  // The first challenge is answered with the credentials; a second one is the answer.
  if (status == 407 && challengeAnswered && self->proxyChallenges_++ == 0) return length;
  self->HeadFinal();
  return length;
}

size_t HttpRequest::OnBody(char* data, size_t size, size_t count, void* context) {
  auto* self = static_cast<HttpRequest*>(context);
  const size_t length = size * count;
  self->lastProgress_ = Clock::now();
  self->HeadFinal();
  if (self->pending_ != Pending::Read) {
    // No read waits: the bytes wait in the request's buffer, up to its limit
    // (a small one before reading started, none for a refused answer, whose
    // socket is then dropped at its close); else libcurl keeps them and
    // stops reading the socket.
    const int status = self->head_.status();
    const size_t early = status >= 200 && status < 300 ? kEarlyBodyLimit : 0;
    std::lock_guard<std::mutex> guard(self->lock_);
    if (self->body_.size() - self->bodyOffset_ >= (self->readStarted_ ? kBodyBufferLimit : early)) {
      self->bodyPaused_ = true;
      self->pausedBits_ |= CURLPAUSE_RECV;
      return CURL_WRITEFUNC_PAUSE;
    }
    self->body_.append(data, length);
    return length;
  }
  const size_t n = std::min<size_t>(length, self->downloadRoom_);
  std::memcpy(self->download_, data, n);
  if (n < length) {
    std::lock_guard<std::mutex> guard(self->lock_);
    self->body_.append(data + n, length - n);
  }
  self->pending_ = Pending::None;
  HttpNote note;
  note.request = self->shared_from_this();
  note.status = WINHTTP_CALLBACK_STATUS_READ_COMPLETE;
  note.buffer = self->download_;
  note.number = static_cast<DWORD>(n);
  self->worker().Queue(std::move(note));
  return length;
}

size_t HttpRequest::OnUpload(char* data, size_t size, size_t count, void* context) {
  auto* self = static_cast<HttpRequest*>(context);
  self->HeadOut();
  if (self->pending_ != Pending::Write || self->uploadLeft_ == 0) {
    self->pausedBits_ |= CURLPAUSE_SEND;
    return CURL_READFUNC_PAUSE;
  }
  self->lastProgress_ = Clock::now();
  const size_t n = std::min<size_t>(self->uploadLeft_, size * count);
  std::memcpy(data, self->upload_, n);
  self->upload_ += n;
  self->uploadLeft_ -= static_cast<DWORD>(n);
  if (self->uploadLeft_ == 0) {
    self->pending_ = Pending::None;
    HttpNote note;
    note.request = self->shared_from_this();
    note.status = WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE;
    note.number = self->uploadLength_;
    self->worker().Queue(std::move(note));
  }
  return n;
}

int HttpRequest::OnDebug(CURL*, curl_infotype type, char*, size_t, void* context) {
  if (type == CURLINFO_HEADER_OUT) static_cast<HttpRequest*>(context)->HeadOut();
  return 0;
}