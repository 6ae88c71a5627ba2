// Sockets that live in another network namespace than the test process.
#pragma once

#include <string>

#include <QByteArray>
#include <QtGlobal>

// A UDP socket made inside the named namespace (/var/run/netns/<ns>), bound
// to any address and port, sharing the port and allowed to broadcast. -1 on
// failure, with the reason in *error. The socket stays in that namespace
// whichever thread uses it later.
int UdpSocketInNamespace(const std::string& ns, quint16 port, std::string* error);

// Sends one datagram from fd to ip:port; false unless all of it went out.
bool SendDatagram(int fd, const QByteArray& bytes, const char* ip, quint16 port);

// Closes the descriptor it owns.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd();
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};
