// A named shared-memory block guarded by a named mutex, shared by every
// client process of the desktop.
#pragma once

#include <platform/KernelOwners.h>

class CNamedShareMem {
 public:
  CNamedShareMem() = default;
  ~CNamedShareMem();
  CNamedShareMem(const CNamedShareMem&) = delete;
  CNamedShareMem& operator=(const CNamedShareMem&) = delete;

  // 0 or the Win32 error. A block nobody held before comes zero-filled.
  DWORD open(const char* name, int size);
  void close();
  // The view while opened, else null.
  int* data() const { return opened_ ? static_cast<int*>(view_.get()) : nullptr; }
  bool isOpen() const { return opened_; }
  // Waits up to ms for the mutex; a holder that died leaves it to us.
  bool lock(int ms);
  void unlock();

  // Holds the mutex, without time-out, for its scope.
  class Guard {
   public:
    explicit Guard(CNamedShareMem& mem) : mem_(mem), held_(mem.lock(-1)) {}
    ~Guard() {
      if (held_) mem_.unlock();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CNamedShareMem& mem_;
    bool held_;
  };

 private:
  bool opened_ = false;
  UniqueHandle mutex_;
  int size_ = 0;
  UniqueHandle mapping_;
  UniqueView view_;
};
