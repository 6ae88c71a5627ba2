// USER calls of the Windows design (monitors, top-level windows, cursor), over
// X11: RandR monitors, the X window tree with EWMH properties, XFixes.
#pragma once

#include <platform/Gdi.h>
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
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_LAYERED 0x00080000L

HWND GetTopWindow(HWND parent);
HWND GetWindow(HWND window, UINT command);
BOOL IsWindowVisible(HWND window);
LONG GetWindowLongW(HWND window, int index);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
HWND GetParent(HWND window);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetWindowRgn(HWND window, HRGN region);

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
