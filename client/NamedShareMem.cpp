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
  mutex_ = OwnHandle(CreateMutexA(nullptr, FALSE, mutexName));
  if (!mutex_) return GetLastError();
  WaitForSingleObject(mutex_.get(), INFINITE);
  size_ = size;
  mapping_ = OwnHandle(
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name));
  if (!mapping_) {
    const DWORD error = GetLastError();
    ReleaseMutex(mutex_.get());
    close();
    return error;
  }
  const bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
  view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, static_cast<size_t>(size)));
  if (!view_) {
    const DWORD error = GetLastError();
    ReleaseMutex(mutex_.get());
    close();
    return error;
  }
  if (fresh) std::memset(view_.get(), 0, static_cast<size_t>(size));
  opened_ = true;
  ReleaseMutex(mutex_.get());
  return 0;
}

void CNamedShareMem::close() {
  opened_ = false;
  mapping_.reset();
  if (view_) {
    view_.reset();
    size_ = 0;
  }
  mutex_.reset();
}

bool CNamedShareMem::lock(int ms) {
  if (!mutex_) return false;
  const DWORD r = WaitForSingleObject(mutex_.get(), ms < 0 ? INFINITE : static_cast<DWORD>(ms));
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

void CNamedShareMem::unlock() {
  if (mutex_) ReleaseMutex(mutex_.get());
}
