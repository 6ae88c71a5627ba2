// An event with Windows semantics (manual or auto reset), shared between
// processes by name. Its state is a word in a shared page that waiters sleep
// on with a futex, so a wait ends as soon as another process sets it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "KernelObject.h"
#include "NamedPresence.h"

class EventObject : public KernelObject {
 public:
  struct State {
    std::atomic<uint32_t> signaled;
    uint32_t manualReset;
  };

  // Owns the mapped page (munmap'ed on destruction) and the presence, if named.
  EventObject(std::unique_ptr<NamedPresence> presence, State* state, size_t mappedBytes);
  ~EventObject() override;
  EventObject(const EventObject&) = delete;
  EventObject& operator=(const EventObject&) = delete;

  DWORD Wait(DWORD milliseconds) override;
  void Set();
  void Reset();

 private:
  std::unique_ptr<NamedPresence> presence_;
  State* state_;
  size_t mappedBytes_;
};
