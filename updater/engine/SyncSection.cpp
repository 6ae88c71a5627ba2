#include "SyncSection.h"

CSyncSection::CSyncSection() { InitializeCriticalSection(&m_cs); }

CSyncSection::~CSyncSection() { DeleteCriticalSection(&m_cs); }

void CSyncSection::Lock() { EnterCriticalSection(&m_cs); }

void CSyncSection::Unlock() { LeaveCriticalSection(&m_cs); }
