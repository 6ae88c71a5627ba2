// The built-in controls a dialog holds: push and owner-drawn buttons,
// static texts and icons, and the progress bar. They paint into their
// top-level window's image like any window of the layer.
#include <platform/Kernel.h>
#include <platform/User.h>

#include "LayerWindow.h"

namespace {

// controlData slots of a button.
constexpr int kButtonFlags = 0;
constexpr LONG_PTR kPressed = 1;   // shown pushed in
constexpr LONG_PTR kTracking = 2;  // the left button went down on it
// Of a static: the icon. Of a progress bar: low, high, position.
constexpr int kStaticIcon = 0;
constexpr int kRangeLow = 0;
constexpr int kRangeHigh = 1;
constexpr int kPosition = 2;

void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
  auto line = [dc](LONG x, LONG y, LONG w, LONG h, COLORREF c) {
    const RECT part{x, y, x + w, y + h};
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &part, nullptr, 0, nullptr);
  };
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  line(r.left, r.top, w - 1, 1, topLeft);
  line(r.left, r.top, 1, h - 1, topLeft);
  line(r.right - 1, r.top, 1, h, bottomRight);
  line(r.left, r.bottom - 1, w, 1, bottomRight);
}

HFONT FontOf(LayerWindow* window) {
  if (window->font != nullptr) return window->font;
  if (LayerWindow* parent = window->child ? LayerWindowOf(window->parent) : nullptr) {
    if (parent->font != nullptr) return parent->font;
  }
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void PaintButton(HWND handle, LayerWindow* window) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(handle, &paint);
  const LONG_PTR flags = window->controlData[kButtonFlags];
  const HWND parent = window->parent;
  const RECT client{0, 0, window->rect.width(), window->rect.height()};
  const bool pressed = (flags & kPressed) != 0;
  const bool disabled = (window->style & WS_DISABLED) != 0;
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(handle)));
  if ((window->style & BS_TYPEMASK) == BS_OWNERDRAW) {
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(window->id), 0, ODA_DRAWENTIRE, 0, handle, dc, client, 0};
    if (pressed) item.itemState |= ODS_SELECTED;
    if (disabled) item.itemState |= ODS_DISABLED;
    if (GetFocus() == handle) item.itemState |= ODS_FOCUS;
    SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(window->id), reinterpret_cast<LPARAM>(&item));
    EndPaint(handle, &paint);
    return;
  }
  FillRect(dc, &client, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  Draw3dRect(dc, client, GetSysColor(pressed ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT),
             GetSysColor(pressed ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW));
  RECT text = client;
  if (pressed) OffsetRect(&text, 1, 1);
  SelectObject(dc, FontOf(window));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawTextW(dc, window->text.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(handle, &paint);
}

void SetPressed(HWND handle, LayerWindow* window, bool pressed) {
  LONG_PTR& flags = window->controlData[kButtonFlags];
  if (((flags & kPressed) != 0) == pressed) return;
  flags = pressed ? (flags | kPressed) : (flags & ~kPressed);
  InvalidateRect(handle, nullptr, TRUE);
}

}  // namespace

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (rect == nullptr) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}

LRESULT ButtonProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return 0;
  LONG_PTR& flags = window->controlData[kButtonFlags];
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      flags |= kTracking;
      SetCapture(handle);
      SetPressed(handle, window, true);
      return 0;
    case WM_MOUSEMOVE:
      if (flags & kTracking) {
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SetPressed(handle, window, at.x >= 0 && at.y >= 0 && at.x < window->rect.width() && at.y < window->rect.height());
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!(flags & kTracking)) return 0;
      const bool clicked = (flags & kPressed) != 0;
      flags &= ~kTracking;
      SetPressed(handle, window, false);
      const HWND parent = window->parent;
      const LONG_PTR id = window->id;
      ReleaseCapture();
      if (clicked) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(handle));
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (flags & kTracking) {
        flags &= ~kTracking;
        SetPressed(handle, window, false);
      }
      return 0;
    case WM_ENABLE:
      InvalidateRect(handle, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      PaintButton(handle, window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers it
    default:
      return DefWindowProcW(handle, message, wParam, lParam);
  }
}

LRESULT StaticProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return 0;
  switch (message) {
    case STM_SETICON: {
      const LONG_PTR previous = window->controlData[kStaticIcon];
      window->controlData[kStaticIcon] = static_cast<LONG_PTR>(wParam);
      InvalidateRect(handle, nullptr, TRUE);
      return previous;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(handle, &paint);
      RECT client{0, 0, window->rect.width(), window->rect.height()};
      const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(window->parent, WM_CTLCOLORSTATIC,
                                                               reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(handle)));
      if (brush != nullptr) FillRect(dc, &client, brush);
      if ((window->style & 0x1F) == SS_ICON) {
        if (window->controlData[kStaticIcon] != 0) {
          DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(window->controlData[kStaticIcon]), 0, 0, 0, nullptr, DI_NORMAL);
        }
      } else {
        SelectObject(dc, FontOf(window));
        UINT format = DT_WORDBREAK;
        if ((window->style & 0x1F) == SS_CENTER) format |= DT_CENTER;
        if (window->style & SS_NOPREFIX) format |= DT_NOPREFIX;
        DrawTextW(dc, window->text.c_str(), -1, &client, format);
      }
      EndPaint(handle, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(handle, message, wParam, lParam);
  }
}

LRESULT ProgressProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return 0;
  LONG_PTR* data = window->controlData;
  switch (message) {
    case WM_CREATE:
      data[kRangeLow] = 0;
      data[kRangeHigh] = 100;
      data[kPosition] = 0;
      return 0;
    case PBM_SETRANGE32:
    case PBM_SETRANGE: {
      const LRESULT previous = MAKELONG(static_cast<WORD>(data[kRangeLow]), static_cast<WORD>(data[kRangeHigh]));
      data[kRangeLow] = message == PBM_SETRANGE32 ? static_cast<int>(wParam) : LOWORD(lParam);
      data[kRangeHigh] = message == PBM_SETRANGE32 ? static_cast<int>(lParam) : HIWORD(lParam);
      InvalidateRect(handle, nullptr, TRUE);
      return previous;
    }
    case PBM_SETPOS: {
      const LRESULT previous = data[kPosition];
      data[kPosition] = std::max(data[kRangeLow], std::min(data[kRangeHigh], static_cast<LONG_PTR>(static_cast<int>(wParam))));
      if (data[kPosition] != previous) InvalidateRect(handle, nullptr, FALSE);
      return previous;
    }
    case PBM_GETPOS:
      return data[kPosition];
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(handle, &paint);
      const RECT client{0, 0, window->rect.width(), window->rect.height()};
      SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));
      ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
      Draw3dRect(dc, client, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW));
      const LONG_PTR span = data[kRangeHigh] - data[kRangeLow];
      if (span > 0 && client.right > 2) {
        const LONG inner = client.right - 2;
        const LONG filled = static_cast<LONG>(inner * (data[kPosition] - data[kRangeLow]) / span);
        const RECT bar{1, 1, 1 + filled, client.bottom - 1};
        SetBkColor(dc, RGB(0x06, 0xB0, 0x25));
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
      }
      EndPaint(handle, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(handle, message, wParam, lParam);
  }
}

LRESULT DialogClassProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefDlgProcW(handle, message, wParam, lParam);
}
