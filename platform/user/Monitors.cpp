#include <platform/Kernel.h>
#include <platform/Unique.h>
#include <platform/User.h>
#include <platform/Log.h>

#include <QtGlobal>

#include "XConnection.h"
#include "XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdint>
#include <vector>

namespace {

void FreeMonitors(XRRMonitorInfo* monitors) { XRRFreeMonitors(monitors); }
using MonitorsPtr = UniquePtr<XRRMonitorInfo, FreeMonitors>;

struct MonitorRecord {
  uintptr_t id;  // the RandR monitor's name atom: stable while the monitor exists
  RECT rect;
  bool primary;
};

// Stands for the whole root when the server reports no monitors. Atoms have
// at most 29 bits, so no monitor name can take this value.
constexpr uintptr_t kWholeRootId = uintptr_t{1} << 40;

bool AskMonitorQuery(Display* display) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase)) return false;
  if (!XRRQueryVersion(display, &major, &minor)) return false;
  return major > 1 || (major == 1 && minor >= 5);
}

// The server's RandR version does not change while the connection lasts, and
// monitors are asked for several times whenever a capture looks again.
bool HasMonitorQuery(Display* display) {
  thread_local Display* asked = nullptr;
  thread_local bool answer = false;
  if (display != asked) {
    answer = AskMonitorQuery(display);
    asked = display;
  }
  return answer;
}

// Asked anew on every call. RandR announces every monitor change (a ConfigureNotify of
// the root, its own events besides for outputs and CRTCs), but only a round trip tells
// that no such event is still on its way; a list kept here could miss a change another
// program has just made. The capture keeps its monitor instead while the round trip it
// makes on every tick reports no change (ScreenDamage).
std::vector<MonitorRecord> QueryMonitors(Display* display) {
  std::vector<MonitorRecord> monitors;
  const Window root = DefaultRootWindow(display);
  if (HasMonitorQuery(display)) {
    int count = 0;
    XErrorTrap trap(display);
    const MonitorsPtr infos(XRRGetMonitors(display, root, True, &count));
    if (trap.FailedByReply()) PlatformLog("user: XRRGetMonitors failed: %s", trap.Text().c_str());
    for (int i = 0; infos && i < count; ++i) {
      const XRRMonitorInfo& info = infos.get()[i];
      if (info.width <= 0 || info.height <= 0) continue;
      monitors.push_back({static_cast<uintptr_t>(info.name),
                          RECT{info.x, info.y, info.x + info.width, info.y + info.height}, info.primary != 0});
    }
  }
  if (monitors.empty()) {
    const int screen = DefaultScreen(display);
    monitors.push_back({kWholeRootId, RECT{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)}, true});
    return monitors;
  }
  // The primary is RandR's primary, else the monitor at (0, 0), else the first.
  for (const MonitorRecord& monitor : monitors) {
    if (monitor.primary) return monitors;
  }
  MonitorRecord* chosen = &monitors.front();
  for (MonitorRecord& monitor : monitors) {
    if (monitor.rect.left == 0 && monitor.rect.top == 0) {
      chosen = &monitor;
      break;
    }
  }
  chosen->primary = true;
  return monitors;
}

}  // namespace

BOOL EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data) {
  if (dc != nullptr || clip != nullptr || callback == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Display* display = ThreadDisplay();
  if (display == nullptr) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  for (MonitorRecord& monitor : QueryMonitors(display)) {
    if (!callback(reinterpret_cast<HMONITOR>(monitor.id), nullptr, &monitor.rect, data)) break;
  }
  return TRUE;
}

BOOL GetMonitorInfoW(HMONITOR handle, LPMONITORINFO info) {
  if (info == nullptr || info->cbSize < sizeof(MONITORINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Display* display = ThreadDisplay();
  if (display == nullptr) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  for (const MonitorRecord& monitor : QueryMonitors(display)) {
    if (monitor.id != reinterpret_cast<uintptr_t>(handle)) continue;
    info->rcMonitor = monitor.rect;
    info->rcWork = monitor.rect;
    info->dwFlags = monitor.primary ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
  }
  // The monitor went away since it was enumerated.
  SetLastError(ERROR_INVALID_MONITOR_HANDLE);
  return FALSE;
}
