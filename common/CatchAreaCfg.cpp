#include "CatchAreaCfg.h"

#include "SystemHelpers.h"
#include "TopWindows.h"

CatchAreaCfg::CatchAreaCfg() : m_mode(IsVistaOrLater() ? 2 : 0) {}

CatchAreaCfg::~CatchAreaCfg() {
  if (m_fillBrush != nullptr) DeleteObject(m_fillBrush);
  ResetRgn();
}

void CatchAreaCfg::AddAreas(const std::list<RECT>& areas) { m_areas.insert(m_areas.end(), areas.begin(), areas.end()); }

void CatchAreaCfg::AddProcessIds(const std::set<DWORD>& processIds) {
  m_processIds.insert(processIds.begin(), processIds.end());
}

void CatchAreaCfg::AddWindows(const std::set<HWND>& windows) { m_windows.insert(windows.begin(), windows.end()); }

void CatchAreaCfg::SetFillColor(COLORREF color) {
  if (m_fillBrush != nullptr) DeleteObject(m_fillBrush);
  m_fillBitmap = nullptr;
  m_fillBrush = CreateSolidBrush(color);
}

bool CatchAreaCfg::IsEmpty() const { return m_areas.empty() && m_processIds.empty() && m_windows.empty(); }

void CatchAreaCfg::ResetRgn() {
  m_boundRect = RECT{0, 0, 0, 0};
  if (m_catchRgn != nullptr) DeleteObject(m_catchRgn);
  m_catchRgn = nullptr;
}

void CatchAreaCfg::BuildCatchRgn(const RECT& monitorRect) {
  ResetRgn();
  if (IsEmpty()) {
    m_boundRect = monitorRect;
    return;
  }
  HRGN bounds = CreateRectRgn(0, 0, 0, 0);
  HRGN capture = CreateRectRgn(0, 0, 0, 0);
  if (!m_processIds.empty()) {
    CatchWndFilter filter;
    filter.mode = m_mode;
    filter.processIds = m_processIds;
    BuildWndRgn(filter, {bounds, capture});
  }
  for (const RECT& area : m_areas) {
    HRGN rect = CreateRectRgnIndirect(&area);
    CombineRgn(capture, capture, rect, RGN_OR);
    CombineRgn(bounds, bounds, rect, RGN_OR);
    DeleteObject(rect);
  }
  if (!m_windows.empty()) {
    CatchWndFilter filter;
    filter.mode = m_mode;
    filter.windows = m_windows;
    BuildWndRgn(filter, {bounds, capture});
  }
  HRGN monitor = CreateRectRgnIndirect(&monitorRect);
  CombineRgn(capture, capture, monitor, RGN_AND);
  CombineRgn(bounds, bounds, monitor, RGN_AND);
  DeleteObject(monitor);
  m_catchRgn = capture;
  GetRgnBox(bounds, &m_boundRect);
  DeleteObject(bounds);
}
