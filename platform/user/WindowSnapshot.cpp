#include "WindowSnapshot.h"

#include "XAtoms.h"
#include "XConnection.h"
#include "XOwners.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <utility>

namespace {

// As ReadLongs: a property of the asked type in 32-bit items.
bool Longs(const xcb_get_property_reply_t* reply, xcb_atom_t type, std::vector<unsigned long>* values) {
  if (reply == nullptr || reply->type != type || reply->format != 32) return false;
  const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(reply));
  values->assign(items, items + reply->value_len);
  return true;
}

struct Atoms {
  xcb_atom_t wmState, pid, types;
};

// The first round: what every window is asked.
struct FirstCookies {
  xcb_get_window_attributes_cookie_t attributes;
  xcb_get_geometry_cookie_t geometry;
  xcb_query_tree_cookie_t tree;
  xcb_get_property_cookie_t owner, pid, types;
  xcb_shape_query_extents_cookie_t extents;
};

// The second round: what only some windows need, known from the first.
struct SecondCookies {
  bool translate = false, wmState = false, rectangles = false;
  xcb_translate_coordinates_cookie_t translateCookie{};
  xcb_get_property_cookie_t wmStateCookie{};
  xcb_shape_get_rectangles_cookie_t rectanglesCookie{};
};

FirstCookies SendFirst(xcb_connection_t* xcb, xcb_window_t window, const Atoms& atoms, bool shape) {
  FirstCookies c{};
  c.attributes = xcb_get_window_attributes(xcb, window);
  c.geometry = xcb_get_geometry(xcb, window);
  c.tree = xcb_query_tree(xcb, window);
  // XGetTransientForHint reads one item.
  c.owner = xcb_get_property(xcb, 0, window, XA_WM_TRANSIENT_FOR, XA_WINDOW, 0, 1);
  c.pid = xcb_get_property(xcb, 0, window, atoms.pid, XA_CARDINAL, 0, 1);
  c.types = xcb_get_property(xcb, 0, window, atoms.types, XA_ATOM, 0, kMaxPropertyItems);
  if (shape) c.extents = xcb_shape_query_extents(xcb, window);
  return c;
}

// Every reply is taken, whatever came before, so none is left queued.
void CollectFirst(xcb_connection_t* xcb, const FirstCookies& c, xcb_window_t root, bool shape, WindowFacts* facts,
                  bool* shaped) {
  const auto attributes = TakeReply(xcb, xcb_get_window_attributes_reply, c.attributes);
  const auto geometry = TakeReply(xcb, xcb_get_geometry_reply, c.geometry);
  const auto tree = TakeReply(xcb, xcb_query_tree_reply, c.tree);
  const auto owner = TakeReply(xcb, xcb_get_property_reply, c.owner);
  const auto pid = TakeReply(xcb, xcb_get_property_reply, c.pid);
  const auto types = TakeReply(xcb, xcb_get_property_reply, c.types);
  if (attributes && geometry) {
    facts->attributes = true;
    facts->mapState = attributes->map_state;
    facts->depth = geometry->depth;
    facts->borderWidth = geometry->border_width;
    facts->width = geometry->width;
    facts->height = geometry->height;
  }
  if (tree) {
    facts->tree = true;
    facts->parent = tree->parent;
    // A child of the root: its origin is its corner plus the border, as the
    // server would translate it, without asking.
    if (geometry && tree->parent == root) {
      facts->translated = true;
      facts->x = geometry->x + geometry->border_width;
      facts->y = geometry->y + geometry->border_width;
    }
  }
  std::vector<unsigned long> values;
  if (Longs(owner.get(), XA_WINDOW, &values) && !values.empty()) {
    facts->hasOwner = true;
    facts->owner = values.front();
  }
  if (Longs(pid.get(), XA_CARDINAL, &values) && !values.empty()) {
    facts->hasPid = true;
    facts->pid = values.front();
  }
  facts->hasTypes = Longs(types.get(), XA_ATOM, &facts->types);
  *shaped = false;
  if (shape) {
    const auto extents = TakeReply(xcb, xcb_shape_query_extents_reply, c.extents);
    *shaped = extents && extents->bounding_shaped;
  }
}

SecondCookies SendSecond(xcb_connection_t* xcb, xcb_window_t window, xcb_window_t root, const Atoms& atoms,
                         const WindowFacts& facts, bool shaped) {
  SecondCookies c;
  // Framed or gone: only the server knows where it is.
  c.translate = !facts.translated;
  if (c.translate) c.translateCookie = xcb_translate_coordinates(xcb, window, root, 0, 0);
  // GetParent asks WM_STATE only of a window below another one.
  c.wmState = facts.tree && facts.parent != root && facts.parent != XCB_NONE;
  if (c.wmState) c.wmStateCookie = xcb_get_property(xcb, 0, window, atoms.wmState, atoms.wmState, 0, 1);
  c.rectangles = shaped;
  if (c.rectangles) c.rectanglesCookie = xcb_shape_get_rectangles(xcb, window, XCB_SHAPE_SK_BOUNDING);
  return c;
}

void CollectSecond(xcb_connection_t* xcb, const SecondCookies& c, const Atoms& atoms, WindowFacts* facts) {
  if (c.translate) {
    const auto translate = TakeReply(xcb, xcb_translate_coordinates_reply, c.translateCookie);
    // Xlib's translation fails across screens as on an error.
    if (translate && translate->same_screen) {
      facts->translated = true;
      facts->x = translate->dst_x;
      facts->y = translate->dst_y;
    }
  }
  if (c.wmState) {
    const auto wmState = TakeReply(xcb, xcb_get_property_reply, c.wmStateCookie);
    std::vector<unsigned long> values;
    facts->hasWmState = Longs(wmState.get(), atoms.wmState, &values);
  }
  if (c.rectangles) {
    const auto rectangles = TakeReply(xcb, xcb_shape_get_rectangles_reply, c.rectanglesCookie);
    if (!rectangles) return;
    facts->shaped = true;
    facts->shapeBanded = rectangles->ordering == XCB_CLIP_ORDERING_YX_BANDED;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(rectangles.get());
    const int count = xcb_shape_get_rectangles_rectangles_length(rectangles.get());
    facts->shape.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) facts->shape.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  }
}

}  // namespace

WindowSnapshot::WindowSnapshot(_XDisplay* display, const std::vector<unsigned long>& windows) {
  xcb_connection_t* xcb = display != nullptr ? XcbConnectionOf(display) : nullptr;
  if (xcb == nullptr || windows.empty()) return;
  const Atoms atoms{static_cast<xcb_atom_t>(AtomNamed(display, "WM_STATE")),
                    static_cast<xcb_atom_t>(AtomNamed(display, "_NET_WM_PID")),
                    static_cast<xcb_atom_t>(AtomNamed(display, "_NET_WM_WINDOW_TYPE"))};
  const xcb_query_extension_reply_t* shapeExtension = xcb_get_extension_data(xcb, &xcb_shape_id);
  const bool shape = shapeExtension != nullptr && shapeExtension->present;
  const auto root = static_cast<xcb_window_t>(DefaultRootWindow(display));
  // Two rounds, each sent whole before its first reply is read: the server
  // is asked only what the first round leaves open (a framed window's
  // position, WM_STATE below a frame, the rectangles of a shaped window), so
  // a stack of plain windows costs fewer requests.
  std::vector<FirstCookies> first;
  first.reserve(windows.size());
  for (unsigned long window : windows) first.push_back(SendFirst(xcb, static_cast<xcb_window_t>(window), atoms, shape));
  std::vector<WindowFacts> facts(windows.size());
  std::vector<bool> shaped(windows.size());
  for (size_t i = 0; i < windows.size(); ++i) {
    bool isShaped = false;
    CollectFirst(xcb, first[i], root, shape, &facts[i], &isShaped);
    shaped[i] = isShaped;
  }
  std::vector<SecondCookies> second;
  second.reserve(windows.size());
  for (size_t i = 0; i < windows.size(); ++i) {
    second.push_back(SendSecond(xcb, static_cast<xcb_window_t>(windows[i]), root, atoms, facts[i], shaped[i]));
  }
  facts_.reserve(windows.size());
  for (size_t i = 0; i < windows.size(); ++i) {
    CollectSecond(xcb, second[i], atoms, &facts[i]);
    facts_[windows[i]] = std::move(facts[i]);
  }
}

const WindowFacts* WindowSnapshot::Find(unsigned long window) const {
  const auto found = facts_.find(window);
  return found != facts_.end() ? &found->second : nullptr;
}
