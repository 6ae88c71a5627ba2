// What a HANDLE stands for inside the kernel layer.
#pragma once

#include <memory>

#include <platform/Kernel.h>

// A kernel object behind a handle. Each kind overrides what it supports; the
// defaults fail as Windows does for a handle of the wrong kind.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  virtual DWORD Wait(DWORD milliseconds);
};

// Handles come from the one HandleRegistry serial, so a stale handle or one of
// another kind fails with ERROR_INVALID_HANDLE instead of being dereferenced.
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);
template <typename T>
std::shared_ptr<T> LookupObjectAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupObject(handle));
}

// File handles carry their descriptor in the handle value (an odd number), so
// making and closing one needs no allocation and no lock.
HANDLE HandleFromFd(int fd);
bool IsFdHandle(HANDLE handle);
int FdFromHandle(HANDLE handle);  // -1 when not a file handle

// Wait until the deadline (milliseconds, INFINITE for none) for ready(), polling
// with a short sleep; ready() may block for at most the slice it is given.
bool PollUntil(DWORD milliseconds, bool (*ready)(void* context, int sliceMs), void* context);
