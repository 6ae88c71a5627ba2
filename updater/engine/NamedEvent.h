// One event handle, owned; an event of the same name that exists already is
// opened as it is.
#pragma once

#include <platform/KernelOwners.h>
#include <platform/Win32Types.h>

class CNamedEvent {
 public:
  CNamedEvent() = default;
  ~CNamedEvent();
  CNamedEvent(const CNamedEvent&) = delete;
  CNamedEvent& operator=(const CNamedEvent&) = delete;

  bool Create(const wchar_t* name, bool manualReset, bool initialState);
  void Close();
  HANDLE GetHandle() const { return m_hEvent.get(); }

 private:
  UniqueHandle m_hEvent;
};
