// USER calls of the Windows design (monitors, top-level windows, cursor), over
// X11: RandR monitors, the X window tree with EWMH properties, XFixes.
#pragma once

#include <platform/Gdi.h>
#include <platform/MessageQueue.h>
#include <platform/Win32Types.h>

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#endif
#ifndef ERROR_INVALID_CURSOR_HANDLE
#define ERROR_INVALID_CURSOR_HANDLE 1402u
#endif
#ifndef ERROR_INVALID_INDEX
#define ERROR_INVALID_INDEX 1413u
#endif
#ifndef ERROR_INVALID_MONITOR_HANDLE
#define ERROR_INVALID_MONITOR_HANDLE 1461u
#endif

// Monitors.
#define MONITORINFOF_PRIMARY 0x00000001u
struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags;
};
static_assert(sizeof(MONITORINFO) == 40, "callers pass the size 40");
typedef MONITORINFO* LPMONITORINFO;
typedef BOOL (*MONITORENUMPROC)(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data);

// Only the whole virtual screen can be enumerated: dc and clip must be null.
BOOL EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
BOOL GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info);

// Windows. HWND is the X window id of a client window.
#define GW_HWNDNEXT 2u
#define GWL_EXSTYLE (-20)
#define GWL_HWNDPARENT (-8)
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_LAYERED 0x00080000L

HWND GetTopWindow(HWND parent);
HWND GetWindow(HWND window, UINT command);
BOOL IsWindowVisible(HWND window);
// GWL_HWNDPARENT (and GetParent) give the owner: the window named by
// WM_TRANSIENT_FOR when it is a mapped top-level window, not the root, a
// hidden client leader or a window that is gone.
LONG GetWindowLongW(HWND window, int index);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
HWND GetParent(HWND window);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetWindowRgn(HWND window, HRGN region);
// A window walk, this layer's own addition for capture: while one lives on a
// thread, GetTopWindow(nullptr) and GetWindow give the stack read when the
// outermost walk began, and IsWindowVisible, GetWindowLongW, GetWindowRect,
// GetWindowRgn, GetWindowThreadProcessId and GetParent answer for the windows
// of that stack from one snapshot read with it: every window's requests go out
// together, so the walk costs a few round trips however many windows there
// are, where each call would cost its own. A window destroyed before the
// snapshot reached it answers as a window that is gone. The answers are the
// ones the calls gave when the walk began, so a walk lasts one capture (or one
// watch step) and no longer. Other windows and other calls ask the server.
// Walks nest; the inner ones share the outermost one's snapshot.
class WindowWalk {
 public:
  WindowWalk();
  ~WindowWalk();
  WindowWalk(const WindowWalk&) = delete;
  WindowWalk& operator=(const WindowWalk&) = delete;
};
// Runs between the stack read and the snapshot of an outermost walk, so a test
// can change the windows in between; null to remove.
void SetWindowWalkHookForTests(void (*hook)());

// The window still exists; X errors are trapped.
BOOL IsWindow(HWND window);
// Iconic: WM_STATE says so, or the window manager hides it (_NET_WM_STATE_HIDDEN).
BOOL IsIconic(HWND window);
// _NET_WM_NAME, else WM_NAME; at most count - 1 characters and a terminating
// zero. Returns the number of characters copied, 0 for no title or an error.
int GetWindowTextW(HWND window, LPWSTR text, int count);

// Icons of other programs' windows, read from their properties, so a program
// that hangs never blocks the caller. The handles belong to the window: the
// caller does not destroy them, and one stays valid until the same icon of
// the same window is asked for again.
#define WM_GETICON 0x007Fu
#define ICON_SMALL 0
#define ICON_BIG 1
#define SMTO_BLOCK 0x0001u
#define GCL_HICON (-14)
#define GCL_HICONSM (-34)
typedef ULONG_PTR* PDWORD_PTR;
// WM_GETICON: ICON_BIG gives the largest _NET_WM_ICON entry, ICON_SMALL
// the one nearest 16 pixels; *result is 0 without one. Other messages fail
// with ERROR_INVALID_PARAMETER, except those of WM_USER and above: they go to
// the window's message port (below), wherever its process runs, and wait for
// the answer up to timeout ms: 0 with ERROR_TIMEOUT when none came in time,
// ERROR_INVALID_WINDOW_HANDLE when the window has no port.
LRESULT SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result);
// GCL_HICON and GCL_HICONSM: the WM_HINTS icon pixmap with its mask, else 0.
// Handles are pointer-sized here, so the value is too.
ULONG_PTR GetClassLongW(HWND window, int index);

// Where other processes' messages to one window arrive: a local socket in the
// per-user runtime folder, named by display and window id. Each message is
// handed to the sink on the thread that opened the port, from its event
// loop, as the MSG the receiving window's nativeEvent sees with the event
// type "windows_generic_MSG"; the sink returns whether it handled it and sets
// the answer.
class WindowMessagePort;
typedef bool (*WINDOWMESSAGESINK)(void* context, MSG* message, LRESULT* result);
// Null with the last error set when the port cannot be opened. The port is
// removed by CloseWindowMessagePort, which must run on the opening thread.
WindowMessagePort* OpenWindowMessagePort(HWND window, WINDOWMESSAGESINK sink, void* context);
void CloseWindowMessagePort(WindowMessagePort* port);

// Restores a minimised window, then brings it to the front.
void SwitchToThisWindow(HWND window, BOOL altTab);

// Placement. The window manager, when one runs, is asked through EWMH client
// messages; without one the calls act on the window directly.
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOACTIVATE 0x0010u
#define SWP_NOOWNERZORDER 0x0200u
// Only restacking: insertAfter is the window to lie directly below, and the
// flags must hold SWP_NOMOVE | SWP_NOSIZE.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// SW_SHOWNORMAL (maps and de-iconifies), SW_SHOW and SW_HIDE. Returns whether
// the window was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL BringWindowToTop(HWND window);
// _NET_ACTIVE_WINDOW; without a window manager: map, raise and focus.
BOOL SetForegroundWindow(HWND window);
// The region becomes the window's bounding shape, which also bounds its
// input; null removes the shape. On success the region belongs to the layer.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);

// Cursor and icons.
#define CURSOR_SHOWING 0x00000001u
struct CURSORINFO {
  DWORD cbSize;
  DWORD flags;
  HCURSOR hCursor;
  POINT ptScreenPos;
};
typedef CURSORINFO* PCURSORINFO;
struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};
typedef ICONINFO* PICONINFO;

BOOL GetCursorPos(LPPOINT point);
// hCursor stays valid until the cursor changes; CopyIcon it to keep it.
BOOL GetCursorInfo(PCURSORINFO info);
HICON CopyIcon(HICON icon);
// The colour bitmap holds straight (not premultiplied) BGRA pixels.
BOOL GetIconInfo(HICON icon, PICONINFO info);
BOOL DestroyIcon(HICON icon);

// Drawing icons into a DC of the gdi layer.
#define DI_MASK 0x0001u
#define DI_IMAGE 0x0002u
#define DI_NORMAL 0x0003u
#define DST_ICON 0x0003u
#define DSS_NORMAL 0x0000u
#define DSS_DISABLED 0x0020u
typedef BOOL (*DRAWSTATEPROC)(HDC dc, LPARAM data, WPARAM wData, int width, int height);

// Width or height 0: the icon's own. The icon is stretched to the size and
// blended by its alpha.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker, UINT flags);
// Only DST_ICON (data is the HICON), drawn at its own size inside (x, y,
// width, height); DSS_DISABLED draws it greyed and lightened.
BOOL DrawStateW(HDC dc, HBRUSH brush, DRAWSTATEPROC proc, LPARAM data, WPARAM wData, int x, int y, int width,
                int height, UINT flags);

// System colours and metrics.
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

#define SPI_GETNONCLIENTMETRICS 0x0029u
struct NONCLIENTMETRICSW {
  UINT cbSize;
  int iBorderWidth;
  int iScrollWidth;
  int iScrollHeight;
  int iCaptionWidth;
  int iCaptionHeight;
  LOGFONTW lfCaptionFont;
  int iSmCaptionWidth;
  int iSmCaptionHeight;
  LOGFONTW lfSmCaptionFont;
  int iMenuWidth;
  int iMenuHeight;
  LOGFONTW lfMenuFont;
  LOGFONTW lfStatusFont;
  LOGFONTW lfMessageFont;
};
// Only SPI_GETNONCLIENTMETRICS, with size and cbSize sizeof(NONCLIENTMETRICSW):
// every font is the platform's default UI font.
BOOL SystemParametersInfoW(UINT action, UINT size, LPVOID buffer, UINT winIni);

#include <platform/UserWindows.h>
#include <platform/Dialogs.h>
