// Holds a CNamedMutex for a scope.
#pragma once

class CNamedMutex;

class CNamedMutexLock {
 public:
  // Waits without time-out. A mutex whose last holder died is taken as well,
  // so the lock counts as held whatever the wait returned.
  explicit CNamedMutexLock(CNamedMutex* mutex);
  ~CNamedMutexLock();
  CNamedMutexLock(const CNamedMutexLock&) = delete;
  CNamedMutexLock& operator=(const CNamedMutexLock&) = delete;

 private:
  CNamedMutex* m_pMutex;
  bool m_bLocked = false;
};
