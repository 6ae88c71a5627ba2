// The thread handle CreateProcess returns: there is no separate main thread to
// control here, so it stands for the process, and waiting on it waits for the
// process to end.
#pragma once

#include <memory>

#include "KernelObject.h"

class ProcessObject;

class ThreadObject : public KernelObject {
 public:
  explicit ThreadObject(std::shared_ptr<ProcessObject> process);
  DWORD Wait(DWORD milliseconds) override;

 private:
  std::shared_ptr<ProcessObject> process_;
};
