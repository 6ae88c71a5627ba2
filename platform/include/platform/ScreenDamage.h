// Whether anything was drawn on the screen since the last look: a capture
// of a still screen can keep the picture it has.
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
  // True when something inside rect (root coordinates) may have changed since
  // the previous call; the first call, and any call that cannot tell, answer
  // true. Forgets what it reported: changes later than this call come with
  // the next one.
  bool ChangedSince(const RECT& rect);

 private:
  struct State;
  std::unique_ptr<State> state_;
};
