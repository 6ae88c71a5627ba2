#include "XWindowQuery.h"

#include <platform/Kernel.h>
#include <platform/User.h>

#include "XAtoms.h"
#include "XConnection.h"
#include "XErrorTrap.h"
#include "XOwners.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

namespace {

// How deep below a top-level frame a reparenting window manager puts the client.
constexpr int kClientSearchDepth = 3;
// Titles longer than this are cut; counted in 32-bit units as X counts them.
constexpr long kMaxTextItems = 16384;

std::string Latin1ToUtf8(const unsigned char* text, size_t length) {
  std::string utf8;
  utf8.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = text[i];
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xc0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3f));
    }
  }
  return utf8;
}

}  // namespace

unsigned long XWindowOf(HWND window) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)); }
HWND HwndOf(unsigned long window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }

bool ReadLongs(Display* display, unsigned long window, unsigned long property, unsigned long type,
               std::vector<unsigned long>* values, long maxItems) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  XErrorTrap trap(display);
  const int status = XGetWindowProperty(display, window, property, 0, maxItems, False, type, &actualType,
                                        &actualFormat, &count, &after, &raw);
  const XFreePtr<unsigned char> data(raw);
  const bool failed = trap.FailedByReply();
  const bool usable = !failed && status == Success && data && actualType == type && actualFormat == 32;
  if (usable) {
    // Xlib hands 32-bit items over as longs.
    const unsigned long* items = reinterpret_cast<const unsigned long*>(data.get());
    values->assign(items, items + count);
  }
  return usable;
}

bool ReadText(Display* display, unsigned long window, unsigned long property, std::string* utf8) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  XErrorTrap trap(display);
  const int status = XGetWindowProperty(display, window, property, 0, kMaxTextItems, False, AnyPropertyType,
                                        &actualType, &actualFormat, &count, &after, &raw);
  const XFreePtr<unsigned char> data(raw);
  if (trap.FailedByReply() || status != Success || !data || actualFormat != 8) return false;
  if (actualType == AtomNamed(display, "UTF8_STRING")) {
    utf8->assign(reinterpret_cast<const char*>(data.get()), count);
    return true;
  }
  if (actualType == XA_STRING) {
    *utf8 = Latin1ToUtf8(data.get(), count);
    return true;
  }
  if (actualType != AtomNamed(display, "COMPOUND_TEXT")) return false;
  XTextProperty text{data.get(), actualType, actualFormat, count};
  char** rawList = nullptr;
  int items = 0;
  const int converted = Xutf8TextPropertyToTextList(display, &text, &rawList, &items);
  const XStringListPtr list(rawList);
  if (converted < Success || !list) return false;
  utf8->clear();
  for (int i = 0; i < items; ++i) *utf8 += list.get()[i];
  return true;
}

long WmState(Display* display, unsigned long window) {
  const Atom wmState = AtomNamed(display, "WM_STATE");
  std::vector<unsigned long> values;
  if (!ReadLongs(display, window, wmState, wmState, &values) || values.empty()) return 0;
  return static_cast<long>(values.front());
}

bool HasWmState(Display* display, unsigned long window) {
  const Atom wmState = AtomNamed(display, "WM_STATE");
  std::vector<unsigned long> values;
  return ReadLongs(display, window, wmState, wmState, &values);
}

bool Children(Display* display, unsigned long window, std::vector<unsigned long>* children, unsigned long* parent) {
  Window root = None, parentWindow = None;
  Window* raw = nullptr;
  unsigned int count = 0;
  XErrorTrap trap(display);
  const Status status = XQueryTree(display, window, &root, &parentWindow, &raw, &count);
  const XFreePtr<Window> list(raw);
  const bool ok = status != 0 && !trap.FailedByReply();
  if (ok && list) children->assign(list.get(), list.get() + count);  // bottom of the stacking order first
  if (parent != nullptr) *parent = parentWindow;
  return ok;
}

unsigned long ClientOf(Display* display, unsigned long frame) {
  std::vector<unsigned long> level{frame};
  for (int depth = 0; depth < kClientSearchDepth && !level.empty(); ++depth) {
    std::vector<unsigned long> next;
    for (unsigned long window : level) {
      if (HasWmState(display, window)) return window;
      std::vector<unsigned long> children;
      if (Children(display, window, &children)) next.insert(next.end(), children.begin(), children.end());
    }
    level.swap(next);
  }
  return frame;
}

std::vector<unsigned long> ClientsOf(Display* display, const std::vector<unsigned long>& frames) {
  std::vector<unsigned long> clients(frames);
  xcb_connection_t* xcb = XcbConnectionOf(display);
  if (xcb == nullptr) {
    for (unsigned long& frame : clients) frame = ClientOf(display, frame);
    return clients;
  }
  const xcb_atom_t wmState = static_cast<xcb_atom_t>(AtomNamed(display, "WM_STATE"));
  // Each frame's search level, in the order ClientOf would look at it.
  std::vector<std::vector<unsigned long>> levels(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) levels[i].push_back(frames[i]);
  for (int depth = 0; depth < kClientSearchDepth; ++depth) {
    // The last level's children would not be looked at.
    const bool wantChildren = depth + 1 < kClientSearchDepth;
    std::vector<xcb_get_property_cookie_t> states;
    std::vector<xcb_query_tree_cookie_t> trees;
    for (const auto& level : levels) {
      for (unsigned long window : level) {
        const auto id = static_cast<xcb_window_t>(window);
        states.push_back(xcb_get_property(xcb, 0, id, wmState, wmState, 0, kMaxPropertyItems));
        if (wantChildren) trees.push_back(xcb_query_tree(xcb, id));
      }
    }
    if (states.empty()) break;
    // Every reply is read, even past a frame's answer, so none is left queued.
    size_t next = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
      std::vector<unsigned long> below;
      bool found = false;
      for (unsigned long window : levels[i]) {
        const auto state = TakeReply(xcb, xcb_get_property_reply, states[next]);
        // As ReadLongs: a WM_STATE of its own type in 32-bit items.
        const bool hasState = state && state->type == wmState && state->format == 32;
        XcbReplyPtr<xcb_query_tree_reply_t> tree;
        if (wantChildren) tree = TakeReply(xcb, xcb_query_tree_reply, trees[next]);
        ++next;
        if (found) continue;
        if (hasState) {
          clients[i] = window;
          found = true;
        } else if (tree) {
          const xcb_window_t* children = xcb_query_tree_children(tree.get());
          below.insert(below.end(), children, children + xcb_query_tree_children_length(tree.get()));
        }
      }
      levels[i] = found ? std::vector<unsigned long>() : std::move(below);
    }
  }
  return clients;
}

unsigned long TopLevelOf(Display* display, unsigned long window) {
  const Window root = DefaultRootWindow(display);
  unsigned long current = window;
  // Bounded: a frame is only a few levels deep.
  for (int depth = 0; depth <= kClientSearchDepth + 1; ++depth) {
    std::vector<unsigned long> children;
    unsigned long parent = None;
    if (!Children(display, current, &children, &parent)) return 0;
    if (parent == root || parent == None) return current;
    current = parent;
  }
  return current;
}

bool WindowManagerRuns(Display* display) {
  const Atom check = AtomNamed(display, "_NET_SUPPORTING_WM_CHECK");
  std::vector<unsigned long> named;
  if (!ReadLongs(display, DefaultRootWindow(display), check, XA_WINDOW, &named) || named.empty()) return false;
  std::vector<unsigned long> self;
  return ReadLongs(display, named.front(), check, XA_WINDOW, &self) && !self.empty() && self.front() == named.front();
}

bool WindowExists(Display* display, unsigned long window) {
  if (window == None) return false;
  XWindowAttributes attributes;
  XErrorTrap trap(display);
  return XGetWindowAttributes(display, window, &attributes) != 0 && !trap.FailedByReply();
}

Display* DisplayForWindow(HWND window, unsigned long* id) {
  Display* display = DisplayOrFail(ERROR_INVALID_WINDOW_HANDLE);
  if (display == nullptr) return nullptr;
  *id = XWindowOf(window);
  if (window == nullptr || !WindowExists(display, *id)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return display;
}
