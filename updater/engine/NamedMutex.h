// A mutex shared by name between processes.
#pragma once

#include <platform/KernelOwners.h>
#include <platform/Win32Types.h>

class CNamedMutex {
 public:
  CNamedMutex() = default;
  ~CNamedMutex();
  CNamedMutex(const CNamedMutex&) = delete;
  CNamedMutex& operator=(const CNamedMutex&) = delete;

  // Creates the mutex, or opens it when it exists; closes a held one first.
  bool Create(const wchar_t* name);
  // True only when the mutex was taken cleanly (WAIT_OBJECT_0).
  bool Wait(DWORD milliseconds);
  DWORD WaitResult(DWORD milliseconds);
  void Release();
  void Close();

 private:
  UniqueHandle m_hMutex;
};
