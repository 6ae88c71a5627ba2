// Display monitors addressed by the small index the capture settings carry.
#pragma once

#include <list>

#include <platform/User.h>

class CMonitor {
 public:
  CMonitor() = default;
  explicit CMonitor(HMONITOR monitor) : m_monitor(monitor) {}
  CMonitor(const CMonitor& other) = default;
  CMonitor& operator=(const CMonitor& other) = default;
  virtual ~CMonitor() = default;

  bool IsValid() const { return m_monitor != nullptr; }
  // The monitor's rectangle in virtual-screen coordinates.
  bool GetMonitorRect(RECT& rect) const;
  bool IsPrimary() const;

 private:
  HMONITOR m_monitor = nullptr;  // monitor handles need no release
};

// A snapshot of the attached monitors in enumeration order.
class CMonitors {
 public:
  CMonitors();
  virtual ~CMonitors() = default;

  // 1..n: the n-th monitor; 0 and below: the primary; above n: no monitor.
  CMonitor GetMonitor(int index) const;
  CMonitor GetPrimaryMonitor() const;

 private:
  static BOOL AddMonitor(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM self);
  std::list<CMonitor> m_monitors;
};
