// GDI painting calls of the updater's windows (DC state, text and fonts,
// gradients, rounded regions), drawn with QtGui into the DC's pixels.
// Included by Gdi.h.
#pragma once

#include <platform/Win32Types.h>

#define CLR_INVALID 0xFFFFFFFFu

#define TRANSPARENT 1
#define OPAQUE 2

#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u

// Stock objects.
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define DEFAULT_GUI_FONT 17

// Font weights, character sets.
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define GB2312_CHARSET 134
#define LF_FACESIZE 32

struct LOGFONTW {
  LONG lfHeight;  // negative: character height in pixels; positive: cell height; 0: default
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTW* LPLOGFONTW;

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
};

// GradientFill: 16-bit channels, an 8-bit value c is c x 256.
typedef uint16_t COLOR16;
struct TRIVERTEX {
  LONG x;
  LONG y;
  COLOR16 Red;
  COLOR16 Green;
  COLOR16 Blue;
  COLOR16 Alpha;
};
struct GRADIENT_RECT {
  ULONG UpperLeft;
  ULONG LowerRight;
};
#define GRADIENT_FILL_RECT_H 0x00u
#define GRADIENT_FILL_RECT_V 0x01u

// DrawTextW formats.
#define DT_TOP 0x0000u
#define DT_LEFT 0x0000u
#define DT_CENTER 0x0001u
#define DT_RIGHT 0x0002u
#define DT_VCENTER 0x0004u
#define DT_BOTTOM 0x0008u
#define DT_WORDBREAK 0x0010u
#define DT_SINGLELINE 0x0020u
#define DT_NOCLIP 0x0100u
#define DT_CALCRECT 0x0400u
#define DT_NOPREFIX 0x0800u

// DC state. SaveDC returns the new depth (1 for the first save); RestoreDC
// takes a depth, or a negative count back from the newest save.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous);
// CLR_INVALID for an invalid DC; a DC whose colour is CLR_INVALID paints no background.
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
HGDIOBJ GetStockObject(int object);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// Fonts. A face this system does not have falls back through the font
// configuration: a Chinese face (or GB2312) to a CJK font, any other to the
// default UI font.
HFONT CreateFontIndirectW(const LOGFONTW* font);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
// Text starts at (x, y), the top-left of its cell.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
// count -1: up to the terminating null. Returns the text's height (0 on failure).
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);

// Fills with one rectangle between two vertices; each pixel's channel is
// interpolated exactly in 16 bits and its top 8 bits kept.
BOOL GradientFill(HDC dc, TRIVERTEX* vertices, ULONG vertexCount, void* mesh, ULONG meshCount, ULONG mode);

// A rectangle (right and bottom edges excluded) whose corners are quarter
// ellipses of the given width and height.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
