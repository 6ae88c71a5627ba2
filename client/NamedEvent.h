// Holds one named event handle.
#pragma once

#include <platform/KernelOwners.h>

class CNamedEvent {
 public:
  CNamedEvent() = default;
  CNamedEvent(const CNamedEvent&) = delete;
  CNamedEvent& operator=(const CNamedEvent&) = delete;

  // True when a handle came back, also for an event that existed already.
  bool create(const wchar_t* name, bool manualReset, bool initialState);
  bool set();
  void close();

 private:
  UniqueHandle handle_;
};
