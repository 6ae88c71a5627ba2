#include <platform/ScreenDamage.h>

#include <platform/Log.h>

#include <thread>

#include "XConnection.h"
#include "XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

struct ScreenDamage::State {
  Display* display = nullptr;
  std::thread::id thread;
  int eventBase = 0;
  Damage damage = None;
  XserverRegion parts = None;
  // Nothing has been reported yet, or the last answer could not be told.
  bool unknown = true;

  ~State() {
    // The reports live on the creating thread's connection; once that thread
    // ended its connection took them along.
    if (display == nullptr || std::this_thread::get_id() != thread) return;
    XErrorTrap trap(display);
    if (parts != None) XFixesDestroyRegion(display, parts);
    if (damage != None) XDamageDestroy(display, damage);
    trap.Failed();
  }
};

ScreenDamage::ScreenDamage() {
  Display* display = ThreadDisplay();
  if (display == nullptr) return;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XDamageQueryExtension(display, &eventBase, &errorBase) || !XDamageQueryVersion(display, &major, &minor) ||
      !XFixesQueryExtension(display, &errorBase, &errorBase)) {
    PlatformLog("user: no damage reports from the X server, every capture tick reads the screen");
    return;
  }
  auto state = std::make_unique<State>();
  state->display = display;
  state->thread = std::this_thread::get_id();
  state->eventBase = eventBase;
  XErrorTrap trap(display);
  state->damage = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
  state->parts = XFixesCreateRegion(display, nullptr, 0);
  if (trap.Failed()) {
    PlatformLog("user: watching the screen for changes failed: %s", trap.Text().c_str());
    return;  // the state frees what was made
  }
  state_ = std::move(state);
}

ScreenDamage::~ScreenDamage() = default;

bool ScreenDamage::IsActive() const { return state_ != nullptr; }

bool ScreenDamage::ChangedSince(const RECT& rect) {
  if (!state_) return true;
  State& s = *state_;
  // A report comes once the damage stops being empty, and the next only
  // after it was taken away below.
  bool reported = false;
  // The one round trip of a still tick: whatever was drawn before it has
  // had its report read in by the time it returns.
  XSync(s.display, False);
  XEvent event;
  while (XCheckTypedEvent(s.display, s.eventBase + XDamageNotify, &event)) reported = true;
  if (!reported && !s.unknown) return false;
  XErrorTrap trap(s.display);
  XDamageSubtract(s.display, s.damage, None, s.parts);
  int count = 0;
  XRectangle* rects = XFixesFetchRegion(s.display, s.parts, &count);
  if (trap.FailedByReply() || (rects == nullptr && count != 0)) {
    PlatformLog("user: reading the screen's changes failed: %s", trap.Text().c_str());
    if (rects != nullptr) XFree(rects);
    s.unknown = true;
    return true;
  }
  bool inside = s.unknown;
  for (int i = 0; i < count && !inside; ++i) {
    const XRectangle& r = rects[i];
    inside = r.x < rect.right && rect.left < r.x + r.width && r.y < rect.bottom && rect.top < r.y + r.height;
  }
  if (rects != nullptr) XFree(rects);
  s.unknown = false;
  return inside;
}
