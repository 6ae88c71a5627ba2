// Owners for GDI objects, device contexts and icons.
#pragma once

#include <platform/Gdi.h>
#include <platform/Unique.h>
#include <platform/User.h>

inline void FreeGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void FreeDc(HDC dc) { DeleteDC(dc); }
inline void FreeIcon(HICON icon) { DestroyIcon(icon); }

// Bitmaps, brushes and regions: all of them are HGDIOBJ.
using UniqueGdiObject = UniquePtr<HGDIOBJ__, FreeGdiObject>;
using UniqueDc = UniquePtr<HDC__, FreeDc>;
using UniqueIcon = UniquePtr<HICON__, FreeIcon>;
