// The events a thread's own connection asks for on the root and on the
// top-level windows. No event loop reads these connections, so whatever
// arrives is read and counted here: nothing piles up in the queue, and
// several watchers on one connection cannot take each other's reports.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

struct _XDisplay;
typedef struct _XDisplay Display;

struct RootEventCounts {
  uint64_t damage = 0;    // damage reports
  uint64_t monitors = 0;  // the root resized, or RandR's screens, outputs or monitors changed
  uint64_t windows = 0;   // everything else: structure, property and shape changes of watched windows
};

class RootWatch {
 public:
  // The calling thread's watch of display, shared by everyone watching it.
  // Null when the server cannot tell (no damage extension).
  static std::shared_ptr<RootWatch> Join(Display* display);
  ~RootWatch();
  RootWatch(const RootWatch&) = delete;
  RootWatch& operator=(const RootWatch&) = delete;

  Display* display() const { return display_; }
  int damageEventBase() const { return damageBase_; }
  // Counts every event that came in up to the last reply read: call it right
  // after a round trip to count everything the server did before it.
  const RootEventCounts& CountQueued();
  // Window watching for as long as one watcher wants it.
  void WantWindows();
  void UnwantWindows();
  // Puts a watch on every window the window walk may read, down to the depth
  // where it looks for a window manager's clients, unless nothing changed in
  // the windows since the last time. A window made meanwhile is either found
  // here or announced by an event: each window is watched before its
  // children are listed.
  void ArmWindows();

 private:
  RootWatch(Display* display, int damageBase);
  // Without watching, nothing is selected on the root any more.
  void SelectOnRoot(bool watching);
  void Unwatch(const std::vector<unsigned long>& windows);

  Display* display_;
  std::thread::id thread_;
  int damageBase_;
  int randrBase_ = -1;
  int randrMinor_ = 0;
  RootEventCounts counts_;
  int windowWatchers_ = 0;
  bool armed_ = false;
  uint64_t armedAt_ = 0;  // counts_.windows when the watch was last put on
  std::vector<unsigned long> watched_;
};
