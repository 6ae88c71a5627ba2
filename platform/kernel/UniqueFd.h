// Move-only owner of a file descriptor (pidfds included) for the kernel layer.
#pragma once

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <utility>

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // close() is not retried on EINTR: Linux frees the descriptor either way, and
  // a retry could close a descriptor another thread has just been given.
  void reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) close(old);
  }

 private:
  int fd_ = -1;
};

// flock that resumes after a signal instead of failing with EINTR.
inline int RetryFlock(int fd, int operation) {
  int rc;
  do {
    rc = flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  return rc;
}
