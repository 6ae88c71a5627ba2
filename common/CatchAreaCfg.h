// What a capture covers: rectangles, the windows of some processes, or some
// windows with their descendants; and the fill for everything else.
#pragma once

#include <list>
#include <set>

#include <platform/Gdi.h>
#include <platform/GdiOwners.h>

class CatchAreaCfg {
 public:
  CatchAreaCfg();
  CatchAreaCfg(const CatchAreaCfg&) = delete;
  CatchAreaCfg& operator=(const CatchAreaCfg&) = delete;
  virtual ~CatchAreaCfg();

  void AddAreas(const std::list<RECT>& areas);
  void AddProcessIds(const std::set<DWORD>& processIds);
  void AddWindows(const std::set<HWND>& windows);
  void SetFillColor(COLORREF color);
  bool IsEmpty() const;
  void ResetRgn();
  // Computes the bounding rectangle and the capture region inside the monitor.
  void BuildCatchRgn(const RECT& monitorRect);
  RECT GetBoundRect() const { return m_boundRect; }

  int GetMode() const { return m_mode; }
  // Goes up with every change of what is captured or of the fill: a region
  // built before it went up is out of date.
  unsigned GetRevision() const { return m_revision; }
  // Windows can move, map and restack without a pixel changing under the
  // capture: what they cover is worked out anew whenever windows change.
  bool FollowsWindows() const { return !m_windows.empty() || !m_processIds.empty(); }
  HBRUSH GetFillBrush() const { return m_fillBrush.get(); }
  // Null when the whole bounding rectangle is captured.
  HRGN GetCatchRgn() const { return m_catchRgn.get(); }

 private:
  std::list<RECT> m_areas;
  std::set<DWORD> m_processIds;
  std::set<HWND> m_windows;
  int m_mode;
  unsigned m_revision = 0;
  HBITMAP m_fillBitmap = nullptr;  // not owned
  UniqueGdiObject m_fillBrush;
  RECT m_boundRect{0, 0, 0, 0};
  UniqueGdiObject m_catchRgn;
};
