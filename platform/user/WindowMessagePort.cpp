// Window messages between processes over one local socket per window. The
// request is the message and its two words; the answer is the LRESULT. The
// receiver serves on the thread that opened the port, so a hung GUI thread
// leaves the sender waiting until its time-out, as on Windows.
#include "WindowMessagePort.h"

#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/Unique.h>

#include <QSocketNotifier>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "RuntimeDir.h"
#include "XWindowQuery.h"

namespace {

struct Request {
  uint64_t message;
  uint64_t wParam;
  uint64_t lParam;
};

// Reads or writes the whole buffer before the deadline (CLOCK_MONOTONIC ms).
int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool Transfer(int fd, void* data, size_t size, bool reading, int64_t deadline) {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    pollfd pfd{fd, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = reading ? recv(fd, p + done, size - done, MSG_DONTWAIT)
                              : send(fd, p + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The display without characters that do not belong in a file name.
std::string DisplayTag() {
  const char* display = std::getenv("DISPLAY");
  std::string tag;
  for (const char* c = display ? display : ""; *c; ++c) {
    tag += (std::isalnum(static_cast<unsigned char>(*c)) || *c == '.') ? *c : '_';
  }
  return tag.empty() ? std::string("none") : tag;
}

// The socket's path, or "" with the last error set.
std::string PortPath(HWND window) {
  DWORD error = 0;
  const std::string folder = NamedObjectFolder(&error);
  if (folder.empty()) {
    SetLastError(error);
    return std::string();
  }
  char name[64];
  std::snprintf(name, sizeof name, "/msg-%s-%lx", DisplayTag().c_str(), XWindowOf(window));
  std::string path = folder + name;
  if (path.size() >= sizeof(sockaddr_un::sun_path)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::string();
  }
  return path;
}

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// How long a receiver waits for a connected sender's request: senders write
// it at once, so only a broken peer is cut off by this.
constexpr int kRequestWaitMs = 500;

}  // namespace

class WindowMessagePort {
 public:
  WindowMessagePort(HWND window, UniqueFd fd, std::string path, WINDOWMESSAGESINK sink, void* context)
      : window_(window), fd_(std::move(fd)), path_(std::move(path)), sink_(sink), context_(context),
        notifier_(fd_.get(), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { serveOne(); });
  }
  ~WindowMessagePort() {
    // The notifier goes before the descriptor it watches (members die in reverse).
    notifier_.setEnabled(false);
    unlink(path_.c_str());
  }

 private:
  void serveOne() {
    const UniqueFd peer(accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!peer) return;
    Request request{};
    if (Transfer(peer.get(), &request, sizeof request, true, NowMs() + kRequestWaitMs)) {
      MSG msg{};
      msg.hwnd = window_;
      msg.message = static_cast<UINT>(request.message);
      msg.wParam = static_cast<WPARAM>(request.wParam);
      msg.lParam = static_cast<LPARAM>(request.lParam);
      msg.time = GetTickCount();
      LRESULT result = 0;
      if (!sink_(context_, &msg, &result)) result = 0;
      int64_t answer = result;
      Transfer(peer.get(), &answer, sizeof answer, false, NowMs() + kRequestWaitMs);
    } else {
      PlatformLog("user: a message port peer sent no complete message");
    }
  }

  HWND window_;
  UniqueFd fd_;
  std::string path_;
  WINDOWMESSAGESINK sink_;
  void* context_;
  QSocketNotifier notifier_;
};

WindowMessagePort* OpenWindowMessagePort(HWND window, WINDOWMESSAGESINK sink, void* context) {
  if (window == nullptr || sink == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::string path = PortPath(window);
  if (path.empty()) return nullptr;
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // A window id is unique on its display while the window lives: a socket
  // under its name is left over from a window that is gone.
  unlink(path.c_str());
  const sockaddr_un address = AddressOf(path);
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd.get(), 8) != 0) {
    PlatformLog("user: message port %s: errno %d", path.c_str(), errno);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return new WindowMessagePort(window, std::move(fd), path, sink, context);
}

void CloseWindowMessagePort(WindowMessagePort* port) { delete port; }

LRESULT SendPortMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        PDWORD_PTR result) {
  const std::string path = PortPath(window);
  if (path.empty()) return 0;
  const int64_t deadline = NowMs() + timeoutMs;
  const UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const sockaddr_un address = AddressOf(path);
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS &&
      errno != EAGAIN) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  Request request{message, static_cast<uint64_t>(wParam), static_cast<uint64_t>(lParam)};
  int64_t answer = 0;
  const bool ok = Transfer(fd.get(), &request, sizeof request, false, deadline) &&
                  Transfer(fd.get(), &answer, sizeof answer, true, deadline);
  if (!ok) {
    SetLastError(ERROR_TIMEOUT);
    return 0;
  }
  if (result != nullptr) *result = static_cast<ULONG_PTR>(answer);
  return 1;
}

void SwitchToThisWindow(HWND window, BOOL) {
  if (IsIconic(window)) ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
}
