#include "Monitor.h"

#include <iterator>

bool CMonitor::GetMonitorRect(RECT& rect) const {
  if (!IsValid()) return false;
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(m_monitor, &info)) return false;
  rect = info.rcMonitor;
  return true;
}

bool CMonitor::IsPrimary() const {
  if (!IsValid()) return false;
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(m_monitor, &info)) return false;
  return info.dwFlags == MONITORINFOF_PRIMARY;
}

CMonitors::CMonitors() {
  m_monitors.clear();
  EnumDisplayMonitors(nullptr, nullptr, &CMonitors::AddMonitor, reinterpret_cast<LPARAM>(this));
}

BOOL CMonitors::AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM self) {
  reinterpret_cast<CMonitors*>(self)->m_monitors.push_back(CMonitor(monitor));
  return TRUE;
}

CMonitor CMonitors::GetMonitor(int index) const {
  if (index > static_cast<int>(m_monitors.size())) return CMonitor();
  if (index >= 1) return *std::next(m_monitors.begin(), index - 1);
  return GetPrimaryMonitor();
}

CMonitor CMonitors::GetPrimaryMonitor() const {
  for (const CMonitor& monitor : m_monitors) {
    if (monitor.IsPrimary()) return monitor;
  }
  return CMonitor();
}
