#include "ThreadObject.h"

#include "ProcessObject.h"

ThreadObject::ThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}

DWORD ThreadObject::Wait(DWORD milliseconds) { return process_->Wait(milliseconds); }
