#include <platform/Threads.h>

#include <pthread.h>

#include <new>

#include "WorkerThreadObject.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::opaque), "the mutex lives inside the record");
static_assert(alignof(pthread_mutex_t) <= 8, "the record's storage is 8-aligned");

static pthread_mutex_t* MutexOf(LPCRITICAL_SECTION section) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(section->opaque));
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (section->opaque) pthread_mutex_t, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_destroy(MutexOf(section)); }

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_lock(MutexOf(section));
  NoteCriticalSectionHeld(+1);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (pthread_mutex_trylock(MutexOf(section)) != 0) return FALSE;
  NoteCriticalSectionHeld(+1);
  return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  NoteCriticalSectionHeld(-1);
  pthread_mutex_unlock(MutexOf(section));
}
