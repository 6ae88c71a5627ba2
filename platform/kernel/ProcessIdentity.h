// What a pid stood for when we opened it, so that a pid the system has handed
// to another program, or a process that has since run exec, is never ended
// by mistake.
#pragma once

#include <sys/types.h>

#include <cstdint>

struct ProcessIdentity {
  // The executable file (/proc/<pid>/exe); unknown for a process of another
  // user, whose exe link we may not follow.
  bool haveExecutable = false;
  dev_t device = 0;
  ino_t inode = 0;
  // Clock ticks after boot (/proc/<pid>/stat), readable for every process.
  bool haveStartTime = false;
  uint64_t startTime = 0;
};

ProcessIdentity ReadProcessIdentity(pid_t pid);
// True when `now` shows the same process running the same executable as `then`.
bool SameProcessIdentity(const ProcessIdentity& then, const ProcessIdentity& now);
// The wait status from /proc/<pid>/stat of an ended process that its parent has
// not reaped yet; false when it cannot be known.
bool ReadZombieWaitStatus(pid_t pid, int* status);
