#include "SyncSectionLock.h"

#include "SyncSection.h"

CSyncSectionLock::CSyncSectionLock(CSyncSection* section) {
  if (section) Lock(section);
}

CSyncSectionLock::~CSyncSectionLock() { Unlock(); }

void CSyncSectionLock::Lock(CSyncSection* section) {
  Unlock();
  m_pSection = section;
  if (!m_pSection) return;
  m_pSection->Lock();
  m_bLocked = true;
}

void CSyncSectionLock::Unlock() {
  if (!m_bLocked) return;
  m_bLocked = false;
  m_pSection->Unlock();
}
