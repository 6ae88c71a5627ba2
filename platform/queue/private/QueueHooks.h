// What the window layer (platform/windowlayer) adds to the thread queue: window
// messages and window timers, and, on a GUI thread, waiting in Qt's event
// loop instead of on the queue alone. Internal to the platform layer.
#pragma once

#include <platform/MessageQueue.h>

// Runs a GUI thread's event source. Pump(0) handles what is pending without
// blocking; Pump(ms) also waits up to ms (-1: no limit) for an event or a Wake.
class QueuePump {
 public:
  virtual void Pump(int timeoutMs) = 0;
  // Any thread: ends a Pump that waits.
  virtual void Wake() = 0;

 protected:
  ~QueuePump() = default;
};

struct WindowQueueHooks {
  // A window of the window layer that still exists.
  bool (*isWindow)(HWND window);
};

void SetWindowQueueHooks(const WindowQueueHooks& hooks);
// The calling thread's queue waits through pump from now on; it must outlive the thread.
void InstallQueuePump(QueuePump* pump);
// A message for a window of the given thread; false when that thread has no queue.
bool PostWindowMessage(DWORD threadId, const MSG& msg);
// The calling thread's timers of a window that goes away.
void RemoveWindowTimers(HWND window);
