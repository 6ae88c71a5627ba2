#include <platform/ScreenDamage.h>

#include <platform/Log.h>

#include <thread>

#include "RootWatch.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

struct ScreenDamage::State {
  std::shared_ptr<RootWatch> watch;
  Display* display = nullptr;
  std::thread::id thread;
  Damage damage = None;
  XserverRegion parts = None;
  bool windows = false;
  // What the watch had counted at the last look.
  RootEventCounts seen;
  // Nothing has been reported yet, or the last answer could not be told.
  bool unknown = true;

  ~State() {
    // The reports live on the creating thread's connection; once that thread
    // ended its connection took them along.
    if (display == nullptr || std::this_thread::get_id() != thread) return;
    if (windows) watch->UnwantWindows();
    XErrorTrap trap(display);
    if (parts != None) XFixesDestroyRegion(display, parts);
    if (damage != None) XDamageDestroy(display, damage);
    trap.Failed();
  }
};

ScreenDamage::ScreenDamage() {
  Display* display = ThreadDisplay();
  if (display == nullptr) return;
  std::shared_ptr<RootWatch> watch = RootWatch::Join(display);
  if (!watch) return;
  auto state = std::make_unique<State>();
  state->watch = std::move(watch);
  state->display = display;
  state->thread = std::this_thread::get_id();
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

void ScreenDamage::WatchWindows() {
  if (!state_ || state_->windows) return;
  state_->windows = true;
  state_->watch->WantWindows();
  // Whatever the caller worked out before is no longer vouched for.
  state_->unknown = true;
}

ScreenDamage::Changes ScreenDamage::Take(const RECT& rect) {
  Changes changes;
  if (!state_) return changes;
  State& s = *state_;
  // The one round trip of a still tick: whatever the server did before it
  // has had its reports read in by the time it returns.
  XSync(s.display, False);
  const RootEventCounts counts = s.watch->CountQueued();
  changes.layout = s.unknown || counts.monitors != s.seen.monitors || (s.windows && counts.windows != s.seen.windows);
  // Before the caller looks at the windows again, so that a window made
  // since the last look is watched by the time it is read.
  if (s.windows) s.watch->ArmWindows();
  // A report comes once the damage stops being empty, and the next only
  // after it was taken away below.
  const bool reported = counts.damage != s.seen.damage;
  s.seen = counts;
  if (!reported && !s.unknown) {
    changes.inside = false;
    return changes;
  }
  XErrorTrap trap(s.display);
  XDamageSubtract(s.display, s.damage, None, s.parts);
  int count = 0;
  const XFreePtr<XRectangle> rects(XFixesFetchRegion(s.display, s.parts, &count));
  if (trap.FailedByReply() || (!rects && count != 0)) {
    PlatformLog("user: reading the screen's changes failed: %s", trap.Text().c_str());
    s.unknown = true;
    return Changes();
  }
  bool inside = s.unknown;
  for (int i = 0; i < count && !inside; ++i) {
    const XRectangle& r = rects.get()[i];
    inside = r.x < rect.right && rect.left < r.x + r.width && r.y < rect.bottom && rect.top < r.y + r.height;
  }
  s.unknown = false;
  changes.inside = inside;
  return changes;
}
