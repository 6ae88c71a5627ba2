// The X connections of the platform layer.
#pragma once

#include <platform/Unique.h>
#include <platform/Win32Types.h>

struct _XDisplay;
struct xcb_connection_t;

void CloseDisplay(_XDisplay* display);  // XCloseDisplay, and forgets the display's recorded errors
using DisplayPtr = UniquePtr<_XDisplay, CloseDisplay>;

// Opens $DISPLAY with our error handler in place; null (logged) without a server.
DisplayPtr OpenDisplay();

// The calling thread's connection for window, monitor and cursor queries,
// opened on first use and closed when the thread ends. Null without a server.
_XDisplay* ThreadDisplay();

// ThreadDisplay, setting the last error to the given one when there is no
// server, so callers can return at once.
_XDisplay* DisplayOrFail(DWORD error);

// The xcb side of an Xlib display, for calls that send many requests before
// reading any reply. Owned by the display.
xcb_connection_t* XcbConnectionOf(_XDisplay* display);
