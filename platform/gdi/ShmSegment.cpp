#include "ShmSegment.h"

#include <platform/Log.h>

#include <QtGlobal>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>

ShmSegment::~ShmSegment() {
  if (address_ != nullptr) shmdt(address_);
  MarkRemoved();
}

bool ShmSegment::Create(size_t bytes) {
  id_ = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id_ < 0) {
    PlatformLog("gdi: shmget(%zu) failed, errno %d", bytes, errno);
    return false;
  }
  void* address = shmat(id_, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    PlatformLog("gdi: shmat(%d) failed, errno %d", id_, errno);
    MarkRemoved();
    id_ = -1;
    return false;
  }
  address_ = address;
  return true;
}

void ShmSegment::MarkRemoved() {
  if (id_ < 0 || removed_) return;
  shmctl(id_, IPC_RMID, nullptr);
  removed_ = true;
}
