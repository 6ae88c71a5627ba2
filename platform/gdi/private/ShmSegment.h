// A SysV shared-memory segment mapped into this process, the memory X writes
// captured pixels into.
#pragma once

#include <cstddef>

class ShmSegment {
 public:
  ShmSegment() = default;
  ~ShmSegment();
  ShmSegment(const ShmSegment&) = delete;
  ShmSegment& operator=(const ShmSegment&) = delete;

  // False (logged) when the system gives no segment; the caller falls back.
  bool Create(size_t bytes);
  // Once X has attached, the segment may be marked for removal: it then goes
  // away with its last user, even if this process crashes.
  void MarkRemoved();

  int id() const { return id_; }
  void* address() const { return address_; }

 private:
  int id_ = -1;
  void* address_ = nullptr;
  bool removed_ = false;
};
