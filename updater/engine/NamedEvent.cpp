#include "NamedEvent.h"

#include <platform/Kernel.h>

CNamedEvent::~CNamedEvent() { Close(); }

bool CNamedEvent::Create(const wchar_t* name, bool manualReset, bool initialState) {
  Close();
  m_hEvent.reset(CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name));
  return m_hEvent != nullptr;
}

void CNamedEvent::Close() { m_hEvent.reset(); }
