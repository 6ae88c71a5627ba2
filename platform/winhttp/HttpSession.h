// A WinHTTP session and a connection: what requests inherit.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "InternetObject.h"

class HttpWorker;

// The four WinHTTP time-outs in milliseconds; 0 or less waits without end.
struct HttpTimeouts {
  int resolve = 0;
  int connect = 60000;
  int send = 30000;
  int receive = 30000;
};

class HttpSession : public InternetObject {
 public:
  HttpSession(std::string agent, std::shared_ptr<HttpWorker> worker)
      : agent_(std::move(agent)), worker_(std::move(worker)) {}

  const std::string& agent() const { return agent_; }
  const std::shared_ptr<HttpWorker>& worker() const { return worker_; }
  HttpTimeouts timeouts() const;
  void SetTimeouts(const HttpTimeouts& timeouts);

 private:
  const std::string agent_;
  const std::shared_ptr<HttpWorker> worker_;
  mutable std::mutex lock_;
  HttpTimeouts timeouts_;
};

class HttpConnection : public InternetObject {
 public:
  HttpConnection(std::shared_ptr<HttpSession> session, std::string host, INTERNET_PORT port)
      : session_(std::move(session)), host_(std::move(host)), port_(port) {}

  const std::shared_ptr<HttpSession>& session() const { return session_; }
  const std::string& host() const { return host_; }
  INTERNET_PORT port() const { return port_; }
  // True for the handle's first request only. It opens a socket of its own:
  // a handle opened again after a failed task must not take up the socket
  // that answered the failure, which its early buffering may have kept.
  bool TakeFirstRequest() { return !requested_.exchange(true); }

 private:
  std::atomic<bool> requested_{false};
  const std::shared_ptr<HttpSession> session_;
  const std::string host_;
  const INTERNET_PORT port_;
};
