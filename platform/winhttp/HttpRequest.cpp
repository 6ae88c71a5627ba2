#include "HttpRequest.h"
#include <platform/Log.h>

#include <strings.h>

#include <QtGlobal>

#include <algorithm>
#include <cstring>

#include "CurlError.h"
#include "HttpWorker.h"
#include <platform/Strings.h>
#include <platform/Log.h>

static std::string HeaderName(const std::string& line) { return line.substr(0, line.find(':')); }

static bool HasHeader(const std::vector<std::string>& headers, const char* name) {
  for (const std::string& line : headers) {
    if (strcasecmp(HeaderName(line).c_str(), name) == 0) return true;
  }
  return false;
}

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

namespace {
// Bytes buffered per request before the worker pauses its transfer.
constexpr size_t kBodyBufferLimit = 256 * 1024;
// Before the first read, a successful answer's body is buffered this far: a
// block fits whole, while a large body nobody reads yet waits in libcurl.
constexpr size_t kEarlyBodyLimit = 32 * 1024;
// How long a body-less request's SENDREQUEST_COMPLETE waits for its answer.
constexpr int kSendHoldMs = 20;
// Set while this thread delivers a notification inline: a callback that reads
// again from there goes through the worker, so the stack stays flat.
thread_local int g_inlineDepth = 0;
}  // namespace

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

// ---- The worker's side.

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

bool HttpRequest::Configure() {
  std::vector<std::string> headers;
  std::string proxy, user, password;
  bool named = false;
  DWORD total = 0;
  HttpTimeouts timeouts;
  {
    std::lock_guard<std::mutex> guard(lock_);
    headers = headers_;
    named = namedProxy_;
    proxy = proxy_;
    user = proxyUser_;
    password = proxyPassword_;
    total = totalLength_;
    timeouts = timeouts_;
  }
  easy_.reset(curl_easy_init());
  if (!easy_) {
    PlatformLog("winhttp: curl_easy_init failed");
    return false;
  }
  CURL* easy = easy_.get();
  const std::string& host = connection_->host();
  const bool ipv6 = host.find(':') != std::string::npos;
  url_ = "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(connection_->port()) +
         (path_.empty() || path_[0] != '/' ? "/" : "") + path_;

  curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
  if (connection_->TakeFirstRequest()) curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_USERAGENT, connection_->session()->agent().c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 65536L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeaderLine);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpRequest::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  // The debug stream is the one place libcurl tells that the request's head went out.
  curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &HttpRequest::OnDebug);
  curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
  if (timeouts.connect > 0) curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect));
  // An empty proxy also keeps libcurl from taking one from http_proxy.
  const std::string proxyUrl = named ? "http://" + proxy : std::string();
  curl_easy_setopt(easy, CURLOPT_PROXY, proxyUrl.c_str());
  if (named && !user.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, user.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password.c_str());
    // Without a body, wait for the proxy's challenge as WinHTTP does; an upload
    // body cannot be sent twice, so it carries Basic credentials at once.
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, total ? CURLAUTH_BASIC : CURLAUTH_ANY);
  }
  if (verb_ == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (verb_ == "POST") {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(total));
  } else if (verb_ == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str());
    if (total) {
      curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
      curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(total));
    }
  }
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &HttpRequest::OnUpload);
  curl_easy_setopt(easy, CURLOPT_READDATA, this);

  // Only what the caller added goes out, besides Host, User-Agent and a body's
  // length: an empty value removes a header libcurl would add by itself.
  for (const char* removed : {"Accept", "Expect", "Content-Type", "Proxy-Connection"}) {
    if (!HasHeader(headers, removed)) headers.push_back(std::string(removed) + ":");
  }
  curl_slist* list = nullptr;
  for (const std::string& line : headers) {
    curl_slist* longer = curl_slist_append(list, line.c_str());
    if (!longer) {
      curl_slist_free_all(list);
      return false;
    }
    list = longer;
  }
  headerList_.reset(list);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
  return true;
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
