// Top-level window lists and their classification for capture: which windows
// are shared, which are ignored and which mask what lies below them.
#pragma once

#include <list>
#include <set>
#include <utility>

#include <platform/User.h>

struct CatchWndFilter {
  int mode = 0;  // how layered windows count: 0, 1 or 2
  std::set<DWORD> processIds;
  std::set<HWND> windows;  // with all their descendants and owned windows
};

enum CatchWndClass { kWndMasked = -1, kWndIgnored = 0, kWndShared = 1 };

// Visible top-level windows, bottom of the stacking order first.
void EnumTopWindows(std::list<HWND>& windows);
int ClassifyWindow(const CatchWndFilter& filter, HWND window);
void ClassifyWindows(const std::list<HWND>& windows, const CatchWndFilter& filter,
                     std::list<std::pair<HWND, int>>& classes);
// regions.first collects the shared windows' outline (bounds), regions.second
// the visible parts of the shared windows (capture).
void BuildWndRgn(const CatchWndFilter& filter, std::pair<HRGN, HRGN> regions);
