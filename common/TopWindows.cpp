#include "TopWindows.h"

#include <platform/GdiOwners.h>

namespace {

// Another program can make its windows own each other in a ring; a longer
// chain of owners than this is taken as one.
constexpr int kMaxOwnerChain = 64;

bool IsSelected(const CatchWndFilter& filter, HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (filter.processIds.count(processId) != 0) return true;
  if (filter.windows.empty()) return false;
  HWND current = window;
  for (int step = 0; current != nullptr && step < kMaxOwnerChain; ++step) {
    if (filter.windows.count(current) != 0) return true;
    current = GetParent(current);
  }
  return false;
}

// The window's outline in screen coordinates; its rectangle unless it has a shape.
UniqueGdiObject WindowShape(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  UniqueGdiObject shape(CreateRectRgn(0, 0, 0, 0));
  int type = GetWindowRgn(window, shape.get());
  if (type != RGN_ERROR && type != NULLREGION) type = OffsetRgn(shape.get(), rect.left, rect.top);
  if (type != RGN_ERROR && type != NULLREGION) return shape;
  return UniqueGdiObject(CreateRectRgnIndirect(&rect));
}

}  // namespace

// Each of the calls below is one window walk: the per-window questions are
// answered from one snapshot of the stack rather than asked one by one.
void EnumTopWindows(std::list<HWND>& windows) {
  const WindowWalk walk;
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (IsWindowVisible(window)) windows.push_front(window);
  }
}

int ClassifyWindow(const CatchWndFilter& filter, HWND window) {
  const bool layered = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  const bool selected = IsSelected(filter, window);
  if (selected) return !layered || filter.mode == 2 ? kWndShared : kWndIgnored;
  return layered && filter.mode == 0 ? kWndIgnored : kWndMasked;
}

void ClassifyWindows(const std::list<HWND>& windows, const CatchWndFilter& filter,
                     std::list<std::pair<HWND, int>>& classes) {
  const WindowWalk walk;
  for (HWND window : windows) classes.emplace_back(window, ClassifyWindow(filter, window));
}

void BuildWndRgn(const CatchWndFilter& filter, std::pair<HRGN, HRGN> regions) {
  const WindowWalk walk;
  std::list<HWND> windows;
  EnumTopWindows(windows);
  std::list<std::pair<HWND, int>> classes;
  ClassifyWindows(windows, filter, classes);
  HRGN bounds = regions.first;
  HRGN capture = regions.second;
  // Bottom first: a masked window cuts into what lies below it, a shared one
  // above it is whole again.
  for (const auto& entry : classes) {
    if (entry.second == kWndIgnored) continue;
    const UniqueGdiObject shape = WindowShape(entry.first);
    if (entry.second == kWndShared) {
      CombineRgn(capture, capture, shape.get(), RGN_OR);
      CombineRgn(bounds, bounds, shape.get(), RGN_OR);
    } else {
      CombineRgn(capture, capture, shape.get(), RGN_DIFF);
    }
  }
}
