// Holds one named event handle.
#pragma once

#include <platform/Win32Types.h>

class CNamedEvent {
 public:
  CNamedEvent() = default;
  ~CNamedEvent() { close(); }
  CNamedEvent(const CNamedEvent&) = delete;
  CNamedEvent& operator=(const CNamedEvent&) = delete;

  // True when a handle came back, also for an event that existed already.
  bool create(const wchar_t* name, bool manualReset, bool initialState);
  bool set();
  void close();

 private:
  HANDLE handle_ = nullptr;
};
