// The screen's device context and the one capability the client reads from it.
#pragma once

#include <platform/Unique.h>
#include <platform/Win32Types.h>

#define LOGPIXELSX 88
#define LOGPIXELSY 90

// GetDC(nullptr) is the screen (it measures text even without an X server);
// a window of the updater's window layer gives its window DC, an X window id
// nothing. Give it back with ReleaseDC.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// LOGPIXELSX and LOGPIXELSY of a screen DC: the Xft.dpi resource of the root
// window when set, else the screen's pixels per millimetre x 25.4, rounded.
// Other indexes and other DCs give 0.
int GetDeviceCaps(HDC dc, int index);

inline void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using UniqueScreenDc = UniquePtr<HDC__, ReleaseScreenDc>;
