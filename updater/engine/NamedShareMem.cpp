#include "NamedShareMem.h"

#include <platform/Kernel.h>

#include <cstring>

// Longer names have no room beside the "Mut" suffix in the system's name limit.
static const size_t kMaxNameChars = 260;

CNamedShareMem::~CNamedShareMem() { close(); }

DWORD CNamedShareMem::open(const std::wstring& name, DWORD size) {
  close();
  // Refused with an error, not with 0: a caller that went on would use a
  // block that is not there.
  if (name.size() >= kMaxNameChars) return ERROR_FILENAME_EXCED_RANGE;
  const std::wstring mutexName = name + L"Mut";
  m_hMutex = OwnHandle(CreateMutexW(nullptr, FALSE, mutexName.c_str()));
  if (!m_hMutex) return GetLastError();

  lock();
  DWORD error = 0;
  m_hMapping = OwnHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
  const bool existed = m_hMapping && GetLastError() == ERROR_ALREADY_EXISTS;
  if (!m_hMapping) {
    error = GetLastError();
  } else {
    m_pView = MapViewOfFile(m_hMapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!m_pView) {
      error = GetLastError();
    } else if (!existed) {
      std::memset(m_pView, 0, size);
    }
  }
  unlock();
  if (error != 0) {
    close();
    return error;
  }
  m_dwSize = size;
  m_bOpened = true;
  return 0;
}

void CNamedShareMem::close() {
  m_bOpened = false;
  if (m_pView) UnmapViewOfFile(m_pView);
  m_pView = nullptr;
  m_hMapping.reset();
  m_hMutex.reset();
  m_dwSize = 0;
}

int* CNamedShareMem::data() const { return m_bOpened ? static_cast<int*>(m_pView) : nullptr; }

void CNamedShareMem::lock() {
  if (m_hMutex) WaitForSingleObject(m_hMutex.get(), INFINITE);
}

void CNamedShareMem::unlock() {
  if (m_hMutex) ReleaseMutex(m_hMutex.get());
}
