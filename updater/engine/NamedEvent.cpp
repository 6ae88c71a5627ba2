#include "NamedEvent.h"

#include <platform/Kernel.h>

CNamedEvent::~CNamedEvent() { Close(); }

bool CNamedEvent::Create(const wchar_t* name, bool manualReset, bool initialState) {
  Close();
  m_hEvent = CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name);
  return m_hEvent != nullptr;
}

void CNamedEvent::Close() {
  if (!m_hEvent) return;
  CloseHandle(m_hEvent);
  m_hEvent = nullptr;
}
