#include "HttpSession.h"

HttpTimeouts HttpSession::timeouts() const {
  std::lock_guard<std::mutex> guard(lock_);
  return timeouts_;
}

void HttpSession::SetTimeouts(const HttpTimeouts& timeouts) {
  std::lock_guard<std::mutex> guard(lock_);
  timeouts_ = timeouts;
}
