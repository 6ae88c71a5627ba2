// A process handle: a pidfd, so that waiting and ending reach the process we
// opened even after its pid has been handed to another one.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>

#include "KernelObject.h"
#include "ProcessIdentity.h"
#include <platform/Unique.h>

class ProcessObject : public KernelObject {
 public:
  // `child`: we started it, so we reap it and read its real exit status.
  ProcessObject(UniqueFd pidfd, pid_t pid, bool child, const ProcessIdentity& identity);
  ~ProcessObject() override;

  DWORD Wait(DWORD milliseconds) override;
  BOOL Terminate(UINT exitCode);
  BOOL GetExitCode(DWORD* exitCode);
  pid_t pid() const { return pid_; }

 private:
  bool HasEnded(int timeoutMs);
  bool Reap(bool block);
  DWORD ExitCodeFromStatus(int code, int status) const;

  std::mutex lock_;
  UniqueFd pidfd_;
  const pid_t pid_;
  const bool child_;
  const ProcessIdentity identity_;
  bool reaped_ = false;
  DWORD exitCode_ = 0;
  bool terminated_ = false;
  UINT terminateCode_ = 0;
};

// A child whose handles were all closed while it ran is reaped later, by
// whichever process call comes next, so that it does not stay a zombie.
void ReapClosedChildren();
