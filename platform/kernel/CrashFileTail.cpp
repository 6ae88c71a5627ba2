#include <platform/ExceptionFilter.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int ReadFileTailInCrash(const char* path, char* buffer, int length) {
  if (!path || !*path || !buffer || length <= 0) return 0;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const off_t end = lseek(fd, 0, SEEK_END);
  const off_t start = end > length ? end - length : 0;
  int got = 0;
  if (end >= 0 && lseek(fd, start, SEEK_SET) == start) {
    while (got < length) {
      const ssize_t n = read(fd, buffer + got, static_cast<size_t>(length - got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<int>(n);
    }
  }
  close(fd);
  return got;
}
