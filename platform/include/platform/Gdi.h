// GDI calls of the Windows design (device contexts, bitmaps, brushes, regions,
// blits), over X11 and our own pixel buffers.
#pragma once

#include <platform/Win32Types.h>

// Region results and combine modes. Windows calls the error result ERROR; the
// longer name keeps that common word free for the rest of the program.
#define RGN_ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_AND 1
#define RGN_OR 2
#define RGN_DIFF 4
#define RGN_COPY 5

// Raster operations BitBlt accepts.
#define SRCCOPY 0x00CC0020u
#define CAPTUREBLT 0x40000000u

#define BI_RGB 0u
#define DIB_RGB_COLORS 0u
#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(-1)))

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: top-down rows
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the header size is part of the interface");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;  // rows of device-dependent bitmaps are padded to 16 bits
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

// Device contexts. "DISPLAY" is the X root window, on an X connection of its own.
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const void* initData);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int SelectClipRgn(HDC dc, HRGN region);

// Bitmaps and brushes. A DIB section is 32-bit BGRX; its pixels stay ours.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBRUSH CreateSolidBrush(COLORREF color);
BOOL DeleteObject(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
int GetRgnBox(HRGN region, LPRECT rect);

// Copies screen pixels from a display DC into the bitmap of a memory DC, or
// pixels between memory and window DCs, inside the destination's clip region.
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);

#include <platform/GdiPaint.h>
