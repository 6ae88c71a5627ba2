// A small block of memory shared by name between processes, guarded by a
// named mutex ("<name>Mut").
#pragma once

#include <platform/KernelOwners.h>
#include <platform/Win32Types.h>

#include <string>

class CNamedShareMem {
 public:
  CNamedShareMem() = default;
  ~CNamedShareMem();
  CNamedShareMem(const CNamedShareMem&) = delete;
  CNamedShareMem& operator=(const CNamedShareMem&) = delete;

  // 0 or a Win32 error. A block that did not exist yet starts zero-filled.
  DWORD open(const std::wstring& name, DWORD size);
  void close();
  bool opened() const { return m_bOpened; }
  // The view while opened, else null.
  int* data() const;
  // Without a time-out; a mutex whose holder died is taken as well. A
  // std::lock_guard over the block holds it for a scope.
  void lock();
  void unlock();

 private:
  bool m_bOpened = false;
  UniqueHandle m_hMutex;
  DWORD m_dwSize = 0;
  UniqueHandle m_hMapping;
  void* m_pView = nullptr;
};
