#include "WindowSnapshot.h"

#include "XAtoms.h"
#include "XConnection.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <type_traits>

namespace {

template <typename T>
void FreeReply(T* reply) {
  std::free(reply);
}
template <typename T>
using ReplyPtr = UniquePtr<T, FreeReply<T>>;

// The reply, or null when the request failed: the error comes with the reply
// instead of going to the Xlib handler, so no trap and no sync are needed.
template <typename ReplyFn, typename Cookie>
auto Take(xcb_connection_t* xcb, ReplyFn replyFn, Cookie cookie) {
  using Reply = std::remove_pointer_t<decltype(replyFn(xcb, cookie, nullptr))>;
  xcb_generic_error_t* error = nullptr;
  ReplyPtr<Reply> reply(replyFn(xcb, cookie, &error));
  if (error != nullptr) {
    std::free(error);
    reply.reset();
  }
  return reply;
}

// As ReadLongs: a property of the asked type in 32-bit items.
bool Longs(const xcb_get_property_reply_t* reply, xcb_atom_t type, std::vector<unsigned long>* values) {
  if (reply == nullptr || reply->type != type || reply->format != 32) return false;
  const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(reply));
  values->assign(items, items + reply->value_len);
  return true;
}

struct Cookies {
  xcb_get_window_attributes_cookie_t attributes;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t translate;
  xcb_query_tree_cookie_t tree;
  xcb_get_property_cookie_t wmState, owner, pid, types;
  xcb_shape_query_extents_cookie_t extents;
  xcb_shape_get_rectangles_cookie_t rectangles;
};

struct Atoms {
  xcb_atom_t wmState, pid, types;
};

Cookies Send(xcb_connection_t* xcb, xcb_window_t window, xcb_window_t root, const Atoms& atoms, bool shape) {
  Cookies c{};
  c.attributes = xcb_get_window_attributes(xcb, window);
  c.geometry = xcb_get_geometry(xcb, window);
  c.translate = xcb_translate_coordinates(xcb, window, root, 0, 0);
  c.tree = xcb_query_tree(xcb, window);
  c.wmState = xcb_get_property(xcb, 0, window, atoms.wmState, atoms.wmState, 0, 1);
  // XGetTransientForHint reads one item.
  c.owner = xcb_get_property(xcb, 0, window, XA_WM_TRANSIENT_FOR, XA_WINDOW, 0, 1);
  c.pid = xcb_get_property(xcb, 0, window, atoms.pid, XA_CARDINAL, 0, 1);
  c.types = xcb_get_property(xcb, 0, window, atoms.types, XA_ATOM, 0, kMaxPropertyItems);
  if (shape) {
    // Asked of every window, shaped or not: a second round for the shaped
    // ones would cost more than the one rectangle an unshaped window answers.
    c.extents = xcb_shape_query_extents(xcb, window);
    c.rectangles = xcb_shape_get_rectangles(xcb, window, XCB_SHAPE_SK_BOUNDING);
  }
  return c;
}

WindowFacts Collect(xcb_connection_t* xcb, const Cookies& c, const Atoms& atoms, bool shape) {
  WindowFacts facts;
  // Every reply is taken, whatever came before, so none is left queued.
  const auto attributes = Take(xcb, xcb_get_window_attributes_reply, c.attributes);
  const auto geometry = Take(xcb, xcb_get_geometry_reply, c.geometry);
  const auto translate = Take(xcb, xcb_translate_coordinates_reply, c.translate);
  const auto tree = Take(xcb, xcb_query_tree_reply, c.tree);
  const auto wmState = Take(xcb, xcb_get_property_reply, c.wmState);
  const auto owner = Take(xcb, xcb_get_property_reply, c.owner);
  const auto pid = Take(xcb, xcb_get_property_reply, c.pid);
  const auto types = Take(xcb, xcb_get_property_reply, c.types);
  if (attributes && geometry) {
    facts.attributes = true;
    facts.mapState = attributes->map_state;
    facts.depth = geometry->depth;
    facts.borderWidth = geometry->border_width;
    facts.width = geometry->width;
    facts.height = geometry->height;
  }
  // Xlib's translation fails across screens as on an error.
  if (translate && translate->same_screen) {
    facts.translated = true;
    facts.x = translate->dst_x;
    facts.y = translate->dst_y;
  }
  if (tree) {
    facts.tree = true;
    facts.parent = tree->parent;
  }
  std::vector<unsigned long> values;
  facts.hasWmState = Longs(wmState.get(), atoms.wmState, &values);
  if (Longs(owner.get(), XA_WINDOW, &values) && !values.empty()) {
    facts.hasOwner = true;
    facts.owner = values.front();
  }
  if (Longs(pid.get(), XA_CARDINAL, &values) && !values.empty()) {
    facts.hasPid = true;
    facts.pid = values.front();
  }
  facts.hasTypes = Longs(types.get(), XA_ATOM, &facts.types);
  if (!shape) return facts;
  const auto extents = Take(xcb, xcb_shape_query_extents_reply, c.extents);
  const auto rectangles = Take(xcb, xcb_shape_get_rectangles_reply, c.rectangles);
  if (extents && extents->bounding_shaped && rectangles) {
    facts.shaped = true;
    facts.shapeBanded = rectangles->ordering == XCB_CLIP_ORDERING_YX_BANDED;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(rectangles.get());
    const int count = xcb_shape_get_rectangles_rectangles_length(rectangles.get());
    facts.shape.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) facts.shape.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  }
  return facts;
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
  std::vector<Cookies> cookies;
  cookies.reserve(windows.size());
  for (unsigned long window : windows) {
    cookies.push_back(Send(xcb, static_cast<xcb_window_t>(window), root, atoms, shape));
  }
  facts_.reserve(windows.size());
  for (size_t i = 0; i < windows.size(); ++i) facts_[windows[i]] = Collect(xcb, cookies[i], atoms, shape);
}

const WindowFacts* WindowSnapshot::Find(unsigned long window) const {
  const auto found = facts_.find(window);
  return found != facts_.end() ? &found->second : nullptr;
}
