#include "CatchAreaCfg.h"

#include <utility>

#include "SystemHelpers.h"
#include "TopWindows.h"

CatchAreaCfg::CatchAreaCfg() : m_mode(IsVistaOrLater() ? 2 : 0) {}

CatchAreaCfg::~CatchAreaCfg() = default;

void CatchAreaCfg::AddAreas(const std::list<RECT>& areas) {
  m_areas.insert(m_areas.end(), areas.begin(), areas.end());
  ++m_revision;
}

void CatchAreaCfg::AddProcessIds(const std::set<DWORD>& processIds) {
  m_processIds.insert(processIds.begin(), processIds.end());
  ++m_revision;
}

void CatchAreaCfg::AddWindows(const std::set<HWND>& windows) {
  m_windows.insert(windows.begin(), windows.end());
  ++m_revision;
}

void CatchAreaCfg::SetFillColor(COLORREF color) {
  ++m_revision;
  m_fillBitmap = nullptr;
  m_fillBrush.reset(CreateSolidBrush(color));
}

bool CatchAreaCfg::IsEmpty() const { return m_areas.empty() && m_processIds.empty() && m_windows.empty(); }

void CatchAreaCfg::ResetRgn() {
  ++m_revision;
  m_boundRect = RECT{0, 0, 0, 0};
  m_catchRgn.reset();
}

void CatchAreaCfg::BuildCatchRgn(const RECT& monitorRect) {
  ResetRgn();
  if (IsEmpty()) {
    m_boundRect = monitorRect;
    return;
  }
  const UniqueGdiObject boundsOwner(CreateRectRgn(0, 0, 0, 0));
  UniqueGdiObject captureOwner(CreateRectRgn(0, 0, 0, 0));
  HRGN bounds = boundsOwner.get();
  HRGN capture = captureOwner.get();
  if (!m_processIds.empty()) {
    CatchWndFilter filter;
    filter.mode = m_mode;
    filter.processIds = m_processIds;
    BuildWndRgn(filter, {bounds, capture});
  }
  for (const RECT& area : m_areas) {
    const UniqueGdiObject rect(CreateRectRgnIndirect(&area));
    CombineRgn(capture, capture, rect.get(), RGN_OR);
    CombineRgn(bounds, bounds, rect.get(), RGN_OR);
  }
  if (!m_windows.empty()) {
    CatchWndFilter filter;
    filter.mode = m_mode;
    filter.windows = m_windows;
    BuildWndRgn(filter, {bounds, capture});
  }
  const UniqueGdiObject monitor(CreateRectRgnIndirect(&monitorRect));
  CombineRgn(capture, capture, monitor.get(), RGN_AND);
  CombineRgn(bounds, bounds, monitor.get(), RGN_AND);
  GetRgnBox(bounds, &m_boundRect);
  m_catchRgn = std::move(captureOwner);
}
