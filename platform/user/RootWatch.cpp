#include "RootWatch.h"

#include <platform/Log.h>

#include <algorithm>

#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <xcb/xcb.h>

namespace {

// The client search (XWindowQuery.cpp) looks at a root child, its children
// and theirs: those are the windows whose properties, shapes and places the
// window walk reads. Depth 1 is a child of the root.
constexpr int kWatchDepth = 3;

// Below the deepest level only the window itself matters: its children are
// never read.
long WindowMask(int depth) {
  return depth < kWatchDepth ? SubstructureNotifyMask | PropertyChangeMask : PropertyChangeMask;
}

// Listings of many windows go out together and cost one round trip.
std::vector<unsigned long> ChildrenOfAll(xcb_connection_t* xcb, const std::vector<unsigned long>& parents) {
  std::vector<xcb_query_tree_cookie_t> cookies;
  cookies.reserve(parents.size());
  for (unsigned long parent : parents) cookies.push_back(xcb_query_tree(xcb, static_cast<xcb_window_t>(parent)));
  std::vector<unsigned long> children;
  for (const xcb_query_tree_cookie_t& cookie : cookies) {
    // A window gone meanwhile answers with an error: its parent's watch has
    // reported it.
    const auto tree = TakeReply(xcb, xcb_query_tree_reply, cookie);
    if (!tree) continue;
    const xcb_window_t* list = xcb_query_tree_children(tree.get());
    children.insert(children.end(), list, list + xcb_query_tree_children_length(tree.get()));
  }
  return children;
}

// Takes back every selection a watch put on the windows.
void ClearSelections(Display* display, const std::vector<unsigned long>& windows) {
  for (unsigned long window : windows) {
    XSelectInput(display, window, NoEventMask);
    XShapeSelectInput(display, window, 0);
  }
}

}  // namespace

std::shared_ptr<RootWatch> RootWatch::Join(Display* display) {
  thread_local std::weak_ptr<RootWatch> t_watch;
  std::shared_ptr<RootWatch> watch = t_watch.lock();
  if (watch && watch->display_ == display) return watch;
  int damageBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XDamageQueryExtension(display, &damageBase, &errorBase) || !XDamageQueryVersion(display, &major, &minor) ||
      !XFixesQueryExtension(display, &errorBase, &errorBase)) {
    PlatformLog("user: no damage reports from the X server, every capture tick reads the screen");
    return nullptr;
  }
  watch.reset(new RootWatch(display, damageBase));
  t_watch = watch;
  return watch;
}

RootWatch::RootWatch(Display* display, int damageBase)
    : display_(display), thread_(std::this_thread::get_id()), damageBase_(damageBase) {
  int errorBase = 0, major = 0;
  if (XRRQueryExtension(display_, &randrBase_, &errorBase) && XRRQueryVersion(display_, &major, &randrMinor_)) {
    if (major > 1) randrMinor_ = 99;
  } else {
    randrBase_ = -1;
  }
  SelectOnRoot(true);
}

RootWatch::~RootWatch() {
  // Gone with its thread, the connection took the selections along.
  if (std::this_thread::get_id() != thread_) return;
  Unwatch(watched_);
  SelectOnRoot(false);
  // What came in meanwhile would wait in the queue for no one.
  XSync(display_, False);
  XEvent event;
  while (XEventsQueued(display_, QueuedAlready) > 0) XNextEvent(display_, &event);
}

void RootWatch::SelectOnRoot(bool watching) {
  const Window root = DefaultRootWindow(display_);
  // Monitors added or removed with RandR come as a ConfigureNotify of the
  // root and nothing else; output and CRTC changes bring RandR's own events
  // besides. The root's children are watched only for a window share.
  long mask = NoEventMask;
  int randrMask = 0;
  if (watching) {
    mask = StructureNotifyMask;
    if (windowWatchers_ > 0) mask |= SubstructureNotifyMask;
    randrMask = RRScreenChangeNotifyMask;
    if (randrMinor_ >= 2) randrMask |= RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;
  }
  XErrorTrap trap(display_);
  XSelectInput(display_, root, mask);
  if (randrBase_ >= 0) XRRSelectInput(display_, root, randrMask);
  if (trap.Failed()) PlatformLog("user: watching the root failed: %s", trap.Text().c_str());
}

const RootEventCounts& RootWatch::CountQueued() {
  const Window root = DefaultRootWindow(display_);
  XEvent event;
  while (XEventsQueued(display_, QueuedAlready) > 0) {
    XNextEvent(display_, &event);
    if (event.type == damageBase_ + XDamageNotify) {
      ++counts_.damage;
    } else if ((event.type == ConfigureNotify && event.xconfigure.window == root) ||
               (randrBase_ >= 0 &&
                (event.type == randrBase_ + RRScreenChangeNotify || event.type == randrBase_ + RRNotify))) {
      ++counts_.monitors;
    } else {
      ++counts_.windows;
    }
  }
  return counts_;
}

void RootWatch::WantWindows() {
  if (windowWatchers_++ == 0) {
    armed_ = false;
    SelectOnRoot(true);
  }
}

void RootWatch::UnwantWindows() {
  if (windowWatchers_ == 0 || --windowWatchers_ > 0) return;
  Unwatch(watched_);
  watched_.clear();
  armed_ = false;
  SelectOnRoot(true);
}

void RootWatch::Unwatch(const std::vector<unsigned long>& windows) {
  if (windows.empty()) return;
  XErrorTrap trap(display_);
  ClearSelections(display_, windows);
  // Windows destroyed meanwhile answer BadWindow: nothing to undo there.
  trap.Failed();
}

void RootWatch::ArmWindows() {
  if (windowWatchers_ == 0 || (armed_ && armedAt_ == counts_.windows)) return;
  xcb_connection_t* xcb = XcbConnectionOf(display_);
  if (xcb == nullptr) return;
  std::vector<unsigned long> watched;
  XErrorTrap trap(display_);
  // The root's children are announced by the root's own watch.
  std::vector<unsigned long> level{DefaultRootWindow(display_)};
  for (int depth = 1; depth <= kWatchDepth && !level.empty(); ++depth) {
    // Xlib hands its requests to xcb before xcb sends its own, so each
    // window's watch is on before its children are asked for.
    level = ChildrenOfAll(xcb, level);
    for (unsigned long window : level) {
      XSelectInput(display_, window, WindowMask(depth));
      XShapeSelectInput(display_, window, ShapeNotifyMask);
    }
    watched.insert(watched.end(), level.begin(), level.end());
  }
  // Watched before but out of reach now (moved deeper, or gone).
  std::vector<unsigned long> stale;
  std::sort(watched.begin(), watched.end());
  for (unsigned long window : watched_) {
    if (!std::binary_search(watched.begin(), watched.end(), window)) stale.push_back(window);
  }
  ClearSelections(display_, stale);
  // Windows destroyed between the listing and the watch answer BadWindow;
  // their parents' watches have reported them.
  trap.Failed();
  watched_.swap(watched);
  armed_ = true;
  armedAt_ = counts_.windows;
}
