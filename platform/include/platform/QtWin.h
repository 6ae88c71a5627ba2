// The one QtWinExtras call the client makes, over the user and gdi layers.
#pragma once

#include <QPixmap>

#include <platform/Win32Types.h>

namespace QtWin {
// The icon's colour bitmap with its alpha; an icon without any alpha takes its
// transparency from the mask. A null pixmap for an invalid icon.
QPixmap fromHICON(HICON icon);
}  // namespace QtWin
