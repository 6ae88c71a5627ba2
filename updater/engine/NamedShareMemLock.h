// Holds a CNamedShareMem's mutex for a scope.
#pragma once

class CNamedShareMem;

class CNamedShareMemLock {
 public:
  // Waits without time-out; a block whose last holder died is taken as well.
  explicit CNamedShareMemLock(CNamedShareMem* block);
  ~CNamedShareMemLock();
  CNamedShareMemLock(const CNamedShareMemLock&) = delete;
  CNamedShareMemLock& operator=(const CNamedShareMemLock&) = delete;

 private:
  CNamedShareMem* m_pBlock;
};
