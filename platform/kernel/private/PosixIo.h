// POSIX calls that resume after a signal and finish partial transfers. Every
// function here is async-signal-safe: the crash path uses them too.
#pragma once

#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Repeats call() while it fails with EINTR. For calls that report failure
// with -1 and errno.
template <typename Call>
auto RetryOnEintr(Call call) -> decltype(call()) {
  for (;;) {
    const auto result = call();
    if (!(result == -1 && errno == EINTR)) return result;
  }
}

// Reads until size bytes arrived or the end of the file. False (errno set)
// on an error; *done, when given, counts what arrived either way.
inline bool ReadFully(int fd, void* buffer, size_t size, size_t* done = nullptr) {
  char* bytes = static_cast<char*>(buffer);
  size_t got = 0;
  bool ok = true;
  while (got < size) {
    const ssize_t n = RetryOnEintr([&] { return read(fd, bytes + got, size - got); });
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (done != nullptr) *done = got;
  return ok;
}

// As ReadFully, from an offset, leaving the file position alone.
inline bool PreadFully(int fd, void* buffer, size_t size, off_t offset, size_t* done = nullptr) {
  char* bytes = static_cast<char*>(buffer);
  size_t got = 0;
  bool ok = true;
  while (got < size) {
    const ssize_t n =
        RetryOnEintr([&] { return pread(fd, bytes + got, size - got, offset + static_cast<off_t>(got)); });
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (done != nullptr) *done = got;
  return ok;
}

// Writes all size bytes. False (errno set; ENOSPC when the system took
// nothing without saying why) when fewer went out; *done counts them.
inline bool WriteFully(int fd, const void* data, size_t size, size_t* done = nullptr) {
  const char* bytes = static_cast<const char*>(data);
  size_t put = 0;
  while (put < size) {
    const ssize_t n = RetryOnEintr([&] { return write(fd, bytes + put, size - put); });
    if (n == 0) errno = ENOSPC;
    if (n <= 0) break;
    put += static_cast<size_t>(n);
  }
  if (done != nullptr) *done = put;
  return put == size;
}

// As WriteFully, at an offset.
inline bool PwriteFully(int fd, const void* data, size_t size, off_t offset) {
  const char* bytes = static_cast<const char*>(data);
  size_t put = 0;
  while (put < size) {
    const ssize_t n =
        RetryOnEintr([&] { return pwrite(fd, bytes + put, size - put, offset + static_cast<off_t>(put)); });
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    put += static_cast<size_t>(n);
  }
  return true;
}

inline int RetryFlock(int fd, int operation) {
  return RetryOnEintr([&] { return flock(fd, operation); });
}
