#include <platform/Scribe.h>

#include <platform/Unique.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>

#include "PosixIo.h"

namespace {

// Everything here is constant-initialised and trivially destroyed: the SDK's
// threads and global constructors may log before ScribeOpen and after the
// process has started tearing down its globals.
struct LogFile {
  char path[kScribePathSize] = {};
  // Atomic so that ScribeReadTail can read it without the lock. Rotation puts
  // the new file under the same number (dup3), so a reader never sees a
  // number that was closed under it, only ScribeClose does that.
  std::atomic<int> fd{-1};
  long long maxBytes = 0;
};

struct State {
  std::mutex mutex;
  LogFile files[2];
};

State gState;

// Scribe's own failures go to stderr, not to PlatformLog: the platform's sink
// may well be this log, and those lines are written holding its lock.

// A message longer than this is cut: one line must stay one write.
constexpr size_t kMaxMessage = 64 * 1024;
constexpr size_t kMaxModule = 32;
constexpr int kMaxReopens = 4;

const char* LevelName(int level) {
  switch (level) {
    case 0: return "DBG";
    case 1: return "INF";
    case 2: return "WAR";
    case 3: return "ERR";
    default: return level > 3 ? "ERR" : "DBG";
  }
}

int OpenLog(const char* path) {
  // Read as well: the crash tail comes from the same descriptor.
  return RetryOnEintr([path] { return open(path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644); });
}

// The file under the name is a new one (rotated by us or another process):
// from now on our number writes to it.
bool ReopenOnto(LogFile& file) {
  UniqueFd fresh(OpenLog(file.path));
  if (!fresh.valid()) {
    fprintf(stderr, "scribe: open(%s) failed, errno %d\n", file.path, errno);
    return false;
  }
  const int fd = file.fd.load();
  if (dup3(fresh.get(), fd, O_CLOEXEC) != fd) {
    fprintf(stderr, "scribe: dup3 for %s failed, errno %d\n", file.path, errno);
    return false;
  }
  return true;
}

// Called holding the flock of the current file, which keeps every other
// writer, in this process or another, out until the new file is locked.
bool Rotate(LogFile& file) {
  char older[kScribePathSize + 2];
  snprintf(older, sizeof older, "%s.1", file.path);
  if (rename(file.path, older) != 0) {
    fprintf(stderr, "scribe: rename(%s) failed, errno %d\n", file.path, errno);
    return false;
  }
  UniqueFd fresh(OpenLog(file.path));
  if (!fresh.valid()) {
    fprintf(stderr, "scribe: open(%s) failed, errno %d\n", file.path, errno);
    return false;
  }
  RetryFlock(fresh.get(), LOCK_EX);
  // Replacing our number closes the old description, which releases the old
  // file's lock only now that the new one is held.
  const int fd = file.fd.load();
  if (dup3(fresh.get(), fd, O_CLOEXEC) != fd) {
    fprintf(stderr, "scribe: dup3 for %s failed, errno %d\n", file.path, errno);
    return false;
  }
  return true;
}

// The exclusive flock on a log's number for a scope. It goes with the number,
// not the file: after Rotate the number names the new file, locked already,
// and the unlock releases that lock.
class ScopedFlock {
 public:
  explicit ScopedFlock(int fd) : fd_(RetryFlock(fd, LOCK_EX) == 0 ? fd : -1) {}
  ~ScopedFlock() { unlock(); }
  ScopedFlock(const ScopedFlock&) = delete;
  ScopedFlock& operator=(const ScopedFlock&) = delete;

  bool held() const { return fd_ >= 0; }
  void unlock() {
    if (fd_ >= 0) RetryFlock(std::exchange(fd_, -1), LOCK_UN);
  }

 private:
  int fd_;
};

// Called with gState.mutex held.
int AppendLine(LogFile& file, const std::string& whole) {
  const int fd = file.fd.load();
  if (fd < 0) return 0;
  std::string cut;
  const std::string* line = &whole;
  if (file.maxBytes > 0 && static_cast<long long>(whole.size()) > file.maxBytes) {
    cut.assign(whole, 0, static_cast<size_t>(file.maxBytes - 1));
    cut.push_back('\n');
    line = &cut;
  }
  for (int attempt = 0; attempt < kMaxReopens; ++attempt) {
    ScopedFlock lock(fd);
    if (!lock.held()) return 0;
    struct stat own, named;
    if (fstat(fd, &own) != 0) return 0;
    // Another process may have rotated the file since we opened it: its name
    // then names a newer file, and writing to ours would pass the limit.
    if (stat(file.path, &named) != 0 || named.st_ino != own.st_ino || named.st_dev != own.st_dev) {
      lock.unlock();
      if (!ReopenOnto(file)) return 0;
      continue;
    }
    if (file.maxBytes > 0 && own.st_size > 0 &&
        static_cast<long long>(own.st_size) + static_cast<long long>(line->size()) > file.maxBytes &&
        !Rotate(file)) {
      return 0;
    }
    // One write on an O_APPEND descriptor; WriteFully only continues after a
    // signal or a full disk cut it short, still under the lock.
    const bool ok = WriteFully(fd, line->data(), line->size());
    return ok ? static_cast<int>(line->size()) : 0;
  }
  return 0;
}

std::string FormatMessage(const char* fmt, va_list args) {
  char small[1024];
  va_list first;
  va_copy(first, args);  // the text may need a second pass with the same arguments
  const int n = vsnprintf(small, sizeof small, fmt, first);
  va_end(first);
  if (n < 0) return std::string("(unformattable: ") + fmt + ")";
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  const size_t keep = std::min(static_cast<size_t>(n), kMaxMessage);
  std::string text(keep + 1, '\0');
  vsnprintf(text.data(), text.size(), fmt, args);
  text.resize(keep);
  return text;
}

std::string BuildLine(int level, const char* module, const char* fmt, va_list args) {
  std::string message = FormatMessage(fmt, args);
  // A line break inside a message would let it pass for several lines.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  std::replace(message.begin(), message.end(), '\n', ' ');
  std::replace(message.begin(), message.end(), '\r', ' ');

  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char prefix[128];
  snprintf(prefix, sizeof prefix, "%04d-%02d-%02d %02d:%02d:%02d.%03ld %s [%.*s] [%d] ", local.tm_year + 1900,
           local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000,
           LevelName(level), static_cast<int>(kMaxModule), module ? module : "-", static_cast<int>(gettid()));
  std::string line;
  line.reserve(strlen(prefix) + message.size() + 1);
  line.append(prefix).append(message).push_back('\n');
  return line;
}

void CloseLocked() {
  for (LogFile& file : gState.files) {
    const int fd = file.fd.exchange(-1);
    if (fd >= 0) close(fd);
    file.path[0] = '\0';
  }
}

}  // namespace

int ScribeOpen(const char paths[2][kScribePathSize]) {
  std::lock_guard<std::mutex> lock(gState.mutex);
  CloseLocked();
  if (!paths) return 0;
  for (int i = 0; i < 2; ++i) {
    LogFile& file = gState.files[i];
    const size_t length = strnlen(paths[i], kScribePathSize);
    if (length == 0) continue;
    if (length == kScribePathSize) {
      fprintf(stderr, "scribe: log path %d is not terminated within %d bytes, not opened\n", i, kScribePathSize);
      continue;
    }
    memcpy(file.path, paths[i], length + 1);
    const int fd = OpenLog(file.path);
    if (fd < 0) {
      fprintf(stderr, "scribe: open(%s) failed, errno %d\n", file.path, errno);
      file.path[0] = '\0';
      continue;
    }
    file.fd.store(fd);
  }
  return gState.files[0].fd.load() >= 0 ? 1 : 0;
}

void ScribeClose() {
  std::lock_guard<std::mutex> lock(gState.mutex);
  CloseLocked();
}

int ScribeWrite(int level, const char* module, const char* fmt, va_list args) {
  if (!fmt) return 0;
  const bool toError = level >= 3;
  if (gState.files[0].fd.load() < 0 && (!toError || gState.files[1].fd.load() < 0)) return 0;
  const std::string line = BuildLine(level, module, fmt, args);
  std::lock_guard<std::mutex> lock(gState.mutex);
  const int written = AppendLine(gState.files[0], line);
  if (toError) AppendLine(gState.files[1], line);
  return written;
}

int ScribeReadTail(char* buffer, int size) {
  const int fd = gState.files[0].fd.load(std::memory_order_relaxed);
  if (fd < 0 || !buffer || size <= 0) return 0;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_size <= 0) return 0;
  const off_t want = std::min<off_t>(size, st.st_size);
  size_t done = 0;
  PreadFully(fd, buffer, static_cast<size_t>(want), st.st_size - want, &done);
  return static_cast<int>(done);
}

int ScribeSetMaxSize(int file, int maxBytes) {
  if (file < 0 || file > 1) return 0;
  std::lock_guard<std::mutex> lock(gState.mutex);
  gState.files[file].maxBytes = maxBytes > 0 ? maxBytes : 0;
  return 1;
}

void ScribeFlush() {
  std::lock_guard<std::mutex> lock(gState.mutex);
  for (LogFile& file : gState.files) {
    const int fd = file.fd.load();
    if (fd >= 0) fdatasync(fd);
  }
}

int ScribeGetLogPaths(char* buffer) {
  if (!buffer) return 0;
  std::lock_guard<std::mutex> lock(gState.mutex);
  if (gState.files[0].fd.load() < 0 && gState.files[1].fd.load() < 0) {
    buffer[0] = '\0';
    return 0;
  }
  const int n = snprintf(buffer, kScribeLogPathsSize, "%s;%s", gState.files[0].path, gState.files[1].path);
  return std::min(n, kScribeLogPathsSize - 1);
}
