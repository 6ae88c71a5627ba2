#include "NamedEvent.h"

#include <platform/Kernel.h>

bool CNamedEvent::create(const wchar_t* name, bool manualReset, bool initialState) {
  close();
  handle_ = OwnHandle(CreateEventW(nullptr, manualReset, initialState, name));
  return handle_ != nullptr;
}

bool CNamedEvent::set() { return handle_ != nullptr && SetEvent(handle_.get()); }

void CNamedEvent::close() { handle_.reset(); }
