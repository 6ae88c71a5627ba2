#include "ProcessObject.h"

#include <platform/Log.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "Pidfd.h"
#include "PosixIo.h"

namespace {

struct ClosedChildren {
  std::mutex lock;
  std::vector<UniqueFd> pidfds;
};

ClosedChildren& TheClosedChildren() {
  static ClosedChildren* children = new ClosedChildren;  // never destroyed: used during exit
  return *children;
}

}  // namespace

// Reaps without waiting. False while the child still runs; true once it has
// been reaped (*info filled) or can no longer be (ECHILD: reaped elsewhere, or
// SIGCHLD is ignored and the kernel reaped it).
static bool TryWaitChild(int pidfd, int flags, siginfo_t* info, bool* gone) {
  *gone = false;
  info->si_pid = 0;
  const int rc = RetryOnEintr(
      [&] { return waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), info, WEXITED | flags); });
  if (rc == 0) return info->si_pid != 0;
  *gone = true;
  return false;
}

void ReapClosedChildren() {
  ClosedChildren& children = TheClosedChildren();
  std::lock_guard<std::mutex> guard(children.lock);
  auto& fds = children.pidfds;
  for (size_t i = 0; i < fds.size();) {
    siginfo_t info;
    bool gone = false;
    if (TryWaitChild(fds[i].get(), WNOHANG, &info, &gone) || gone) {
      fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
}

ProcessObject::ProcessObject(UniqueFd pidfd, pid_t pid, bool child, const ProcessIdentity& identity)
    : pidfd_(std::move(pidfd)), pid_(pid), child_(child), identity_(identity) {}

ProcessObject::~ProcessObject() {
  // An ended child is reaped now (the wait is short, see GetExitCode); a
  // running one later.
  if (child_ && !reaped_ && !Reap(/*block=*/HasEnded(0))) {
    ClosedChildren& children = TheClosedChildren();
    std::lock_guard<std::mutex> guard(children.lock);
    children.pidfds.push_back(std::move(pidfd_));
  }
  ReapClosedChildren();
}

bool ProcessObject::HasEnded(int timeoutMs) {
  pollfd entry = {pidfd_.get(), POLLIN, 0};
  const int ready = poll(&entry, 1, timeoutMs);
  return ready > 0;
}

DWORD ProcessObject::Wait(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    int slice = -1;
    if (milliseconds != INFINITE) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      slice = static_cast<int>(std::max<long long>(0, std::min<long long>(left, INT_MAX)));
    }
    pollfd entry = {pidfd_.get(), POLLIN, 0};
    const int ready = poll(&entry, 1, slice);
    if (ready > 0) return WAIT_OBJECT_0;
    if (ready < 0 && errno != EINTR) {
      const int err = errno;
      PlatformLog("WaitForSingleObject: poll on process %d failed, errno %d", pid_, err);
      SetLastError(Win32ErrorFromErrno(err));
      return WAIT_FAILED;
    }
    if (ready == 0 && slice == 0) return WAIT_TIMEOUT;
    // A slice capped at INT_MAX, or an interrupted poll, goes round again.
  }
}

bool ProcessObject::Reap(bool block) {
  siginfo_t info;
  bool gone = false;
  if (!TryWaitChild(pidfd_.get(), block ? 0 : WNOHANG, &info, &gone)) return false;
  reaped_ = true;
  exitCode_ = ExitCodeFromStatus(info.si_code, info.si_status);
  return true;
}

DWORD ProcessObject::ExitCodeFromStatus(int code, int status) const {
  if (code == CLD_EXITED) return static_cast<DWORD>(status);
  // Ended by a signal. The code given to TerminateProcess exists only in our
  // handle: the kernel records SIGKILL.
  if (terminated_ && status == SIGKILL) return terminateCode_;
  return 128u + static_cast<DWORD>(status);
}

BOOL ProcessObject::Terminate(UINT exitCode) {
  // Ending ourselves through our own pid is an exit, not a signal, so the
  // parent sees the code (its low 8 bits: Linux keeps no more).
  if (pid_ == getpid()) _exit(static_cast<int>(exitCode & 0xFFu));
  std::lock_guard<std::mutex> guard(lock_);
  // Windows refuses to end a process that has already ended.
  if (reaped_ || HasEnded(0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!SameProcessIdentity(identity_, ReadProcessIdentity(pid_))) {
    PlatformLog("TerminateProcess: pid %d no longer runs the program it ran when opened; not ended", pid_);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (PidfdSendSignal(pidfd_.get(), SIGKILL) != 0) {
    const int err = errno;
    PlatformLog("TerminateProcess: pidfd_send_signal(%d) failed, errno %d", pid_, err);
    SetLastError(err == ESRCH ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(err));
    return FALSE;
  }
  terminated_ = true;
  terminateCode_ = exitCode;
  return TRUE;
}

BOOL ProcessObject::GetExitCode(DWORD* exitCode) {
  std::lock_guard<std::mutex> guard(lock_);
  if (reaped_) {
    *exitCode = exitCode_;
    return TRUE;
  }
  if (!HasEnded(0)) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  // The pidfd turns readable as the process exits, a moment before it can be
  // reaped, so this wait is short.
  if (child_ && Reap(/*block=*/true)) {
    *exitCode = exitCode_;
    return TRUE;
  }
  if (terminated_) {
    *exitCode = terminateCode_;
    return TRUE;
  }
  // Not our child: its parent may not have reaped it yet. A zombie has no exe
  // link left, so the start time alone tells it is still the process we opened.
  int status = 0;
  const ProcessIdentity now = ReadProcessIdentity(pid_);
  if (identity_.haveStartTime && now.haveStartTime && now.startTime == identity_.startTime &&
      ReadZombieWaitStatus(pid_, &status)) {
    *exitCode =
        WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status)) : 128u + static_cast<DWORD>(WTERMSIG(status));
    return TRUE;
  }
  PlatformLog("GetExitCodeProcess: pid %d has ended and was reaped by its parent; its exit code is unknown", pid_);
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
