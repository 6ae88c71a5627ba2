// What the window chooser and the share indicators read of a window: whether
// it still exists, whether it is iconic, and its title.
#include <platform/Kernel.h>
#include <platform/Strings.h>
#include <platform/User.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WindowLayerCalls.h"
#include "XAtoms.h"
#include "XConnection.h"
#include "XWindowQuery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

BOOL IsWindow(HWND window) {
  if (IsLayerHandle(window)) return WindowLayer().isWindow(window);
  Display* display = ThreadDisplay();
  if (display == nullptr || window == nullptr) return FALSE;
  return WindowExists(display, XWindowOf(window)) ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
  Display* display = ThreadDisplay();
  if (display == nullptr || window == nullptr) return FALSE;
  const Window id = XWindowOf(window);
  if (WmState(display, id) == IconicState) return TRUE;
  std::vector<unsigned long> states;
  if (!ReadLongs(display, id, AtomNamed(display, "_NET_WM_STATE"), XA_ATOM, &states)) return FALSE;
  const unsigned long hidden = AtomNamed(display, "_NET_WM_STATE_HIDDEN");
  return std::find(states.begin(), states.end(), hidden) != states.end() ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR text, int count) {
  if (text == nullptr || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  text[0] = L'\0';
  if (IsLayerHandle(window)) return WindowLayer().getWindowText(window, text, count);
  unsigned long id = 0;
  Display* display = DisplayForWindow(window, &id);
  if (display == nullptr) return 0;
  SetLastError(ERROR_SUCCESS);
  std::string title;
  if (!ReadText(display, id, AtomNamed(display, "_NET_WM_NAME"), &title) &&
      !ReadText(display, id, XA_WM_NAME, &title)) {
    return 0;
  }
  const std::wstring wide = Utf8ToWide(title);
  // A title may hold a zero; Windows' copy ends there as well.
  const size_t length = std::min({wide.size(), static_cast<size_t>(count - 1), wide.find(L'\0')});
  std::copy_n(wide.begin(), length, text);
  text[length] = L'\0';
  return static_cast<int>(length);
}
