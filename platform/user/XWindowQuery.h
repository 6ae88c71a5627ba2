// Reading the X window tree and window properties, shared by the window calls
// of the user layer. X11 headers stay in the .cpp files: only ids cross here.
#pragma once

#include <platform/Win32Types.h>

#include <string>
#include <vector>

struct _XDisplay;
typedef struct _XDisplay Display;

// X ids are unsigned long; HWND carries the client window's id.
unsigned long XWindowOf(HWND window);
HWND HwndOf(unsigned long window);

// Bounds what another program's property can make us read (32-bit items).
constexpr long kMaxPropertyItems = 1024;

// Values of a 32-bit property of the given type; false when the window is
// gone or the property is missing or malformed.
bool ReadLongs(Display* display, unsigned long window, unsigned long property, unsigned long type,
               std::vector<unsigned long>* values, long maxItems = kMaxPropertyItems);
// A text property (UTF8_STRING, STRING or COMPOUND_TEXT) as UTF-8; false
// when the window is gone or the property is missing.
bool ReadText(Display* display, unsigned long window, unsigned long property, std::string* utf8);

bool HasWmState(Display* display, unsigned long window);
// The window's ICCCM state (1 normal, 3 iconic), 0 without WM_STATE.
long WmState(Display* display, unsigned long window);
bool Children(Display* display, unsigned long window, std::vector<unsigned long>* children,
              unsigned long* parent = nullptr);
// The window a reparenting window manager framed, marked by WM_STATE; a
// top-level window without a frame is its own client.
unsigned long ClientOf(Display* display, unsigned long frame);
// ClientOf for every frame at once: the requests of a search level go out
// together, so the whole stack costs a few round trips, not two per window.
std::vector<unsigned long> ClientsOf(Display* display, const std::vector<unsigned long>& frames);
// The child of the root that holds the window: the window manager's frame, or
// the window itself without one. 0 when the window is gone.
unsigned long TopLevelOf(Display* display, unsigned long window);
// An EWMH window manager is running: the root names a check window that
// names itself. A property left behind by a window manager that died does not count.
bool WindowManagerRuns(Display* display);
// The window exists (errors trapped).
bool WindowExists(Display* display, unsigned long window);
// The thread's display and the window's id for a call on an existing window;
// null, with ERROR_INVALID_WINDOW_HANDLE, for no display or no such window.
Display* DisplayForWindow(HWND window, unsigned long* id);
