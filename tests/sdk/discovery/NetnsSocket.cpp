#include "NetnsSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

static std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Runs on a thread of its own: setns moves only the calling thread, which
// ends right after, so the rest of the process stays where it was.
static int OpenInNamespace(const std::string& ns, quint16 port, std::string* error) {
  const std::string path = "/var/run/netns/" + ns;
  const int nsFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0) {
    *error = Failed(("open " + path).c_str());
    return -1;
  }
  const int joined = setns(nsFd, CLONE_NEWNET);
  close(nsFd);
  if (joined != 0) {
    *error = Failed("setns");
    return -1;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = Failed("socket");
    return -1;
  }
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
    *error = Failed("setsockopt");
    close(fd);
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    *error = Failed("bind");
    close(fd);
    return -1;
  }
  return fd;
}

int UdpSocketInNamespace(const std::string& ns, quint16 port, std::string* error) {
  int fd = -1;
  std::thread worker([&] { fd = OpenInNamespace(ns, port, error); });
  worker.join();
  return fd;
}

bool SendDatagram(int fd, const QByteArray& bytes, const char* ip, quint16 port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, ip, &to.sin_addr) != 1) return false;
  const ssize_t sent =
      sendto(fd, bytes.constData(), static_cast<size_t>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  return sent == bytes.size();
}

ScopedFd::~ScopedFd() {
  if (fd_ >= 0) close(fd_);
}
