// Gives a window round top corners: its top 20 pixels are a rounded
// rectangle with 9 x 9 corners, the rest a plain rectangle.
#pragma once

#include <platform/User.h>

void SetTopRoundWndRgn(HWND window);
