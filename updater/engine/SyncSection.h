// A critical section, alive as long as the object.
#pragma once

#include <platform/Threads.h>

class CSyncSection {
 public:
  CSyncSection();
  ~CSyncSection();
  CSyncSection(const CSyncSection&) = delete;
  CSyncSection& operator=(const CSyncSection&) = delete;

  void Lock();
  void Unlock();

 private:
  CRITICAL_SECTION m_cs;
};
