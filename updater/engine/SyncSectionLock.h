// Holds a CSyncSection for a scope; leaves it once, at Unlock or destruction.
#pragma once

class CSyncSection;

class CSyncSectionLock {
 public:
  explicit CSyncSectionLock(CSyncSection* section = nullptr);
  ~CSyncSectionLock();
  CSyncSectionLock(const CSyncSectionLock&) = delete;
  CSyncSectionLock& operator=(const CSyncSectionLock&) = delete;

  // Releases whatever was held first.
  void Lock(CSyncSection* section);
  void Unlock();

 private:
  CSyncSection* m_pSection = nullptr;
  bool m_bLocked = false;
};
