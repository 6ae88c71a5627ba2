// pidfd calls through syscall(2): glibc 2.36's <sys/pidfd.h> declares them
// without C linkage, so C++ callers fail to link against it.
#pragma once

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

inline int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0u)); }

inline int PidfdSendSignal(int pidfd, int signal) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0u));
}
