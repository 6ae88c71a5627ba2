// The X11 half of the calls that move, show and shape a window. The public
// calls forward here; a window kind that is not an X client window gets its
// own half beside this one, chosen by the handle.
#pragma once

#include <platform/Win32Types.h>

BOOL X11RestackBelow(HWND window, HWND sibling);
BOOL X11ShowWindow(HWND window, int command);
BOOL X11BringWindowToTop(HWND window);
BOOL X11SetForegroundWindow(HWND window);
// Takes the region's rectangles; the caller disposes of the region.
int X11SetWindowShape(HWND window, HRGN region);
