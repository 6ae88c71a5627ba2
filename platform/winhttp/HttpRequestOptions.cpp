#include "HttpRequest.h"

#include <strings.h>

#include "HttpWorker.h"
#include <platform/Log.h>

bool HttpRequest::HasHeader(const std::vector<std::string>& headers, const char* name) {
  for (const std::string& line : headers) {
    if (strcasecmp(HeaderName(line).c_str(), name) == 0) return true;
  }
  return false;
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
