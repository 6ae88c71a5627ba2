// Whether anything was drawn on the screen since the last look, and whether
// the monitors or the windows moved: a capture of a still screen can keep
// the picture it has, and a window share the region it worked out.
#pragma once

#include <memory>

#include <platform/Win32Types.h>

class ScreenDamage {
 public:
  // Watches the root of the calling thread's connection. Without the server's
  // damage reports every question answers "changed".
  ScreenDamage();
  ~ScreenDamage();
  ScreenDamage(const ScreenDamage&) = delete;
  ScreenDamage& operator=(const ScreenDamage&) = delete;

  bool IsActive() const;
  // Also counts, as layout changes, every window made, destroyed, mapped,
  // unmapped, moved, resized, restacked or reshaped among the root's
  // children and the windows a window manager puts inside them, and every
  // property change of those: what windows a share covers may follow.
  void WatchWindows();

  struct Changes {
    // Something inside the asked rectangle (root coordinates) may have been drawn.
    bool inside = true;
    // The monitors, or with WatchWindows the windows, may have changed.
    bool layout = true;
  };
  // What happened since the previous call, at the cost of one round trip;
  // the first call, and any call that cannot tell, answer "changed". Forgets
  // what it reported: changes later than this call come with the next one.
  // On the creating thread only.
  Changes Take(const RECT& rect);

 private:
  struct State;
  std::unique_ptr<State> state_;
};
