// A mutex with Windows semantics: owned by one thread, recursive for it, and
// shared between processes by name.
#pragma once

#include <platform/Win32Types.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "NamedPresence.h"
#include <platform/Unique.h>

class MutexObject {
 public:
  // Unnamed: within this process only.
  MutexObject() = default;
  // Named: presence in the object, and the file whose flock is the ownership
  // between processes; its first byte is 1 while an owner holds it, so the
  // next owner learns that a holder died with it.
  MutexObject(std::unique_ptr<NamedPresence> presence, UniqueFd owner);

  DWORD Acquire(DWORD milliseconds);
  BOOL Release();

 private:
  std::unique_ptr<NamedPresence> presence_;
  UniqueFd owner_;
  std::mutex lock_;
  std::condition_variable released_;
  DWORD ownerThread_ = 0;  // the thread that owns it, or is taking the flock
  DWORD count_ = 0;        // recursion depth; 0 while the flock is being taken
};
