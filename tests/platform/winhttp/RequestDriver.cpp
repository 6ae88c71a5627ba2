#include "RequestDriver.h"

#include <chrono>

RequestDriver::RequestDriver() : buffer_(10240) {
  session_ = WinHttpOpen(L"Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)", WINHTTP_ACCESS_TYPE_NO_PROXY,
                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
}

RequestDriver::~RequestDriver() {
  const bool open = request_ != nullptr;
  Close();
  if (open) WaitClosed(5000);
  if (connection_) WinHttpCloseHandle(connection_);
  if (session_) WinHttpCloseHandle(session_);
}

bool RequestDriver::Connect(const std::string& host, INTERNET_PORT port) {
  connection_ = WinHttpConnect(session_, std::wstring(host.begin(), host.end()).c_str(), port, 0);
  return connection_ != nullptr;
}

bool RequestDriver::Start(const RequestSpec& spec) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    events_.clear();
    writes_.clear();
    body_.clear();
    closed_ = false;
    status_ = 0;
    contentRange_.clear();
  }
  spec_ = spec;
  sent_ = 0;
  request_ = WinHttpOpenRequest(connection_, spec.verb.c_str(), spec.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  if (!request_) return false;
  WinHttpSetTimeouts(request_, spec.receiveTimeoutMs, spec.receiveTimeoutMs, spec.receiveTimeoutMs,
                     spec.receiveTimeoutMs);
  if (WinHttpSetStatusCallback(request_, &RequestDriver::Status, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    return false;
  }
  const DWORD flags = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE;
  if (!WinHttpAddRequestHeaders(request_, L"Accept: */*", static_cast<DWORD>(-1), flags) ||
      !WinHttpAddRequestHeaders(request_, L"Connection: Keep-Alive", static_cast<DWORD>(-1), flags)) {
    return false;
  }
  if (!spec.range.empty() &&
      !WinHttpAddRequestHeaders(request_, (L"Range: " + spec.range).c_str(), static_cast<DWORD>(-1), flags)) {
    return false;
  }
  return WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            static_cast<DWORD>(spec.upload.size()), reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

void RequestDriver::Close() {
  HINTERNET request;
  {
    std::lock_guard<std::mutex> guard(lock_);
    request = request_;
    request_ = nullptr;
  }
  if (request) WinHttpCloseHandle(request);
}

bool RequestDriver::WaitClosed(int timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return closed_; });
}

bool RequestDriver::WaitFor(const std::string& event, int timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    for (const std::string& seen : events_) {
      if (seen == event) return true;
    }
    return false;
  });
}

bool RequestDriver::WaitForBody(size_t size, int timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return body_.size() >= size; });
}

std::vector<std::string> RequestDriver::Events() const {
  std::lock_guard<std::mutex> guard(lock_);
  return events_;
}

std::string RequestDriver::Body() const {
  std::lock_guard<std::mutex> guard(lock_);
  return body_;
}

std::vector<size_t> RequestDriver::writes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return writes_;
}

void RequestDriver::Add(const std::string& event) {
  std::lock_guard<std::mutex> guard(lock_);
  if (event == "READ" && !events_.empty() && events_.back() == "READ") return;
  events_.push_back(event);
  changed_.notify_all();
}

void RequestDriver::Status(HINTERNET h, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  if (context) reinterpret_cast<RequestDriver*>(context)->On(h, status, info, length);
}

void RequestDriver::WriteNext(HINTERNET h) {
  if (sent_ < spec_.upload.size()) {
    const size_t n = std::min(spec_.writeSize, spec_.upload.size() - sent_);
    if (!WinHttpWriteData(h, spec_.upload.data() + sent_, static_cast<DWORD>(n), nullptr)) {
      Add("WRITE_FAILED");
    }
    return;
  }
  if (!WinHttpReceiveResponse(h, nullptr)) Add("RECEIVE_FAILED");
}

void RequestDriver::On(HINTERNET h, DWORD status, LPVOID info, DWORD length) {
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      Add("SEND");
      WriteNext(h);
      break;
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE: {
      const DWORD n = *static_cast<DWORD*>(info);
      Add("WRITE " + std::to_string(n));
      {
        std::lock_guard<std::mutex> guard(lock_);
        writes_.push_back(n);
      }
      sent_ += n;
      WriteNext(h);
      break;
    }
    case WINHTTP_CALLBACK_STATUS_REDIRECT:
      Add("REDIRECT");
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
      DWORD code = 0, size = sizeof code;
      WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &code, &size,
                          nullptr);
      wchar_t range[256] = {};
      DWORD rangeSize = sizeof range;
      if (WinHttpQueryHeaders(h, WINHTTP_QUERY_CONTENT_RANGE, nullptr, range, &rangeSize, nullptr)) {
        std::lock_guard<std::mutex> guard(lock_);
        contentRange_ = range;
      }
      {
        std::lock_guard<std::mutex> guard(lock_);
        status_ = code;
      }
      Add("HEADERS " + std::to_string(code));
      if (!WinHttpReadData(h, buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr)) Add("READ_FAILED");
      break;
    }
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      if (length == 0) {
        Add("READ 0");
        if (spec_.closeAtEnd) Close();
        break;
      }
      // The next read is asked for before anyone waiting for these bytes can
      // close; the worker fills the buffer only after this callback returns.
      if (!WinHttpReadData(h, buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr)) Add("READ_FAILED");
      {
        std::lock_guard<std::mutex> guard(lock_);
        body_.append(static_cast<const char*>(info), length);
      }
      Add("READ");
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const auto* result = static_cast<WINHTTP_ASYNC_RESULT*>(info);
      Add("ERROR " + std::to_string(result->dwResult) + " " + std::to_string(result->dwError));
      if (spec_.closeAtEnd) Close();
      break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: {
      Add("CLOSING");
      std::lock_guard<std::mutex> guard(lock_);
      closed_ = true;
      changed_.notify_all();
      break;
    }
    default:
      Add("OTHER " + std::to_string(status));
      break;
  }
}
