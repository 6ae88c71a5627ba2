#include "NamedShareMem.h"

#include <platform/Kernel.h>
#include <platform/Threads.h>

#include <cstdio>
#include <cstring>

CNamedShareMem::~CNamedShareMem() { close(); }

DWORD CNamedShareMem::open(const char* name, int size) {
  if (name == nullptr || std::strlen(name) >= 260 || size <= 0) return ERROR_INVALID_PARAMETER;
  close();
  char mutexName[272];
  std::snprintf(mutexName, sizeof mutexName, "%sMut", name);
  mutex_ = CreateMutexA(nullptr, FALSE, mutexName);
  if (mutex_ == nullptr) return GetLastError();
  WaitForSingleObject(mutex_, INFINITE);
  size_ = size;
  mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name);
  if (mapping_ == nullptr) {
    const DWORD error = GetLastError();
    ReleaseMutex(mutex_);
    close();
    return error;
  }
  const bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
  view_ = MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, static_cast<size_t>(size));
  if (view_ == nullptr) {
    const DWORD error = GetLastError();
    ReleaseMutex(mutex_);
    close();
    return error;
  }
  if (fresh) std::memset(view_, 0, static_cast<size_t>(size));
  opened_ = true;
  ReleaseMutex(mutex_);
  return 0;
}

void CNamedShareMem::close() {
  opened_ = false;
  if (mapping_ != nullptr) {
    CloseHandle(mapping_);
    mapping_ = nullptr;
  }
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
    size_ = 0;
  }
  if (mutex_ != nullptr) {
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
}

bool CNamedShareMem::lock(int ms) {
  if (mutex_ == nullptr) return false;
  const DWORD r = WaitForSingleObject(mutex_, ms < 0 ? INFINITE : static_cast<DWORD>(ms));
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

void CNamedShareMem::unlock() {
  if (mutex_ != nullptr) ReleaseMutex(mutex_);
}
