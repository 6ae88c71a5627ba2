// What a window does with a message its procedure leaves to the default.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QIcon>
#include <QImage>

#include <cwchar>

#include "GdiObject.h"
#include "IconObject.h"
#include "LayerWindow.h"
#include "TopLevelWindow.h"

namespace {

HBRUSH BackgroundBrush(const LayerWindow* window) {
  const auto value = reinterpret_cast<uintptr_t>(window->background);
  // A system colour index + 1, as classes give it, or a brush.
  if (value != 0 && value <= 31) return GetSysColorBrush(static_cast<int>(value - 1));
  return window->background;
}

QIcon QIconOf(HICON icon) {
  auto object = LookupGdiAs<IconObject>(icon);
  if (!object) return QIcon();
  const QImage image(reinterpret_cast<const uchar*>(object->pixels.data()), object->width, object->height,
                     object->width * 4, QImage::Format_ARGB32);
  return QIcon(QPixmap::fromImage(image.copy()));
}

}  // namespace

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return 0;
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (create != nullptr && create->lpszName != nullptr) {
        window->text = create->lpszName;
        if (window->qt) window->qt->setTitle(QString::fromStdWString(window->text));
      }
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SETTEXT:
      window->text = lParam != 0 ? reinterpret_cast<LPCWSTR>(lParam) : L"";
      if (window->qt) window->qt->setTitle(QString::fromStdWString(window->text));
      InvalidateRect(handle, nullptr, TRUE);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(window->text.size());
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      const size_t length = std::min(window->text.size(), static_cast<size_t>(wParam) - 1);
      std::wmemcpy(buffer, window->text.c_str(), length);
      buffer[length] = L'\0';
      return static_cast<LRESULT>(length);
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(handle, &paint);
      EndPaint(handle, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = BackgroundBrush(window);
      if (brush == nullptr) return 0;
      RECT client{0, 0, window->rect.width(), window->rect.height()};
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) {
        if (LayerWindow* top = TopLevelOf(window)) PostMessageW(top->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETICON: {
      const int slot = wParam == ICON_BIG ? ICON_BIG : ICON_SMALL;
      const HICON previous = window->icons[slot];
      window->icons[slot] = reinterpret_cast<HICON>(lParam);
      if (window->qt && (slot == ICON_BIG || window->icons[ICON_BIG] == nullptr)) {
        window->qt->setIcon(QIconOf(window->icons[slot]));
      }
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(window->icons[wParam == ICON_BIG ? ICON_BIG : ICON_SMALL]);
    case WM_SETFONT:
      window->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) InvalidateRect(handle, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(window->font);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      return 0;
  }
}
