#include "NamedShareMemLock.h"

#include "NamedShareMem.h"

CNamedShareMemLock::CNamedShareMemLock(CNamedShareMem* block) : m_pBlock(block) { m_pBlock->lock(); }

CNamedShareMemLock::~CNamedShareMemLock() { m_pBlock->unlock(); }
