// Rectangles, points, placement, showing and shaping of the layer's windows.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QGuiApplication>

#include "GdiObject.h"
#include "LayerWindow.h"
#include "RegionObject.h"
#include "TopLevelWindow.h"

BOOL GetClientRect(HWND handle, LPRECT rect) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{0, 0, window->rect.width(), window->rect.height()};
  return TRUE;
}

BOOL LayerGetWindowRect(LayerWindow* window, LPRECT rect) {
  if (window == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const QPoint origin = ScreenOrigin(window);
  *rect = RECT{origin.x(), origin.y(), origin.x() + window->rect.width(), origin.y() + window->rect.height()};
  return TRUE;
}

BOOL ClientToScreen(HWND handle, LPPOINT point) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr || point == nullptr) return FALSE;
  const QPoint origin = ScreenOrigin(window);
  point->x += origin.x();
  point->y += origin.y();
  return TRUE;
}

BOOL ScreenToClient(HWND handle, LPPOINT point) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr || point == nullptr) return FALSE;
  const QPoint origin = ScreenOrigin(window);
  point->x -= origin.x();
  point->y -= origin.y();
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  LayerWindow* source = LayerWindowOf(from);
  LayerWindow* target = LayerWindowOf(to);
  const QPoint a = source != nullptr ? ScreenOrigin(source) : QPoint();
  const QPoint b = target != nullptr ? ScreenOrigin(target) : QPoint();
  const QPoint delta = a - b;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += delta.x();
    points[i].y += delta.y();
  }
  SetLastError(ERROR_SUCCESS);
  return MAKELONG(static_cast<WORD>(delta.x()), static_cast<WORD>(delta.y()));
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL LayerSetWindowPos(LayerWindow* window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  const HWND handle = window->handle;
  WINDOWPOS pos{handle, insertAfter, x, y, cx, cy, flags};
  SendMessageW(handle, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  window = LayerWindowOf(handle);
  if (window == nullptr) return FALSE;
  QRect rect = window->rect;
  if (!(flags & SWP_NOMOVE)) rect.moveTo(x, y);
  if (!(flags & SWP_NOSIZE)) rect.setSize(QSize(std::max(cx, 0), std::max(cy, 0)));
  const bool resized = rect.size() != window->rect.size();
  if (window->child && rect != window->rect) {
    if (LayerWindow* parent = LayerWindowOf(window->parent)) InvalidateRegion(parent, QRegion(window->rect) | rect, true);
  }
  window->rect = rect;
  if (window->qt) {
    if (resized) {
      window->surface = QImage(rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
      window->surface.fill(Qt::black);
    }
    window->qt->setGeometry(rect);
    if (!(flags & SWP_NOZORDER)) {
      if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        const bool topmost = insertAfter == HWND_TOPMOST;
        window->exStyle = topmost ? (window->exStyle | WS_EX_TOPMOST) : (window->exStyle & ~WS_EX_TOPMOST);
        window->qt->setFlag(Qt::WindowStaysOnTopHint, topmost);
      }
      if (insertAfter != HWND_NOTOPMOST) window->qt->raise();
    }
  }
  if (resized) InvalidateRegion(window, QRegion(QRect(QPoint(), rect.size())), true);
  if (flags & SWP_SHOWWINDOW) ShowWindow(handle, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(handle, SW_HIDE);
  SendMessageW(handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  if (resized) SendMessageW(handle, WM_SIZE, 0, MAKELPARAM(rect.width(), rect.height()));
  return TRUE;
}

BOOL LayerShowWindow(LayerWindow* window, int command) {
  const HWND handle = window->handle;
  const bool wasVisible = (window->style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE;
  if (show == wasVisible) {
    if (show && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && !window->child) SetActiveWindow(handle);
    return wasVisible ? TRUE : FALSE;
  }
  SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  window = LayerWindowOf(handle);
  if (window == nullptr) return FALSE;
  if (show) window->style |= WS_VISIBLE;
  else window->style &= ~WS_VISIBLE;
  if (window->child) {
    if (LayerWindow* parent = LayerWindowOf(window->parent)) InvalidateRegion(parent, QRegion(window->rect), true);
    if (show) InvalidateRegion(window, QRegion(QRect(QPoint(), window->rect.size())), true);
    return wasVisible ? TRUE : FALSE;
  }
  if (!show) {
    if (GetActiveWindow() == handle) SetActiveWindow(nullptr);
    window->qt->hide();
    return wasVisible ? TRUE : FALSE;
  }
  InvalidateRegion(window, QRegion(QRect(QPoint(), window->rect.size())), true);
  window->dirty = QRegion(window->surface.rect());
  window->qt->setGeometry(window->rect);
  window->qt->show();
  if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) SetActiveWindow(handle);
  return wasVisible ? TRUE : FALSE;
}

int LayerSetWindowRgn(LayerWindow* window, HRGN region, BOOL redraw) {
  QRegion shape;
  if (region != nullptr) {
    auto object = LookupGdiAs<RegionObject>(region);
    if (!object) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    shape = object->region;
    // The window keeps its own copy; the region is the layer's now.
    UnregisterGdiObject(region);
  }
  window->hasShape = region != nullptr;
  window->shape = shape;
  if (window->qt) window->qt->setMask(shape);
  if (redraw) InvalidateRegion(window, QRegion(QRect(QPoint(), window->rect.size())), true);
  return 1;
}

BOOL IsLayerWindowVisible(HWND handle) {
  LayerWindow* window = LayerWindowOf(handle);
  if (window == nullptr) return FALSE;
  for (LayerWindow* at = window; at != nullptr; at = at->child ? LayerWindowOf(at->parent) : nullptr) {
    if (!(at->style & WS_VISIBLE)) return FALSE;
  }
  return TRUE;
}

HWND LayerGetParent(HWND handle) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return nullptr;
  SetLastError(ERROR_SUCCESS);
  return window->parent;  // a child's parent or a top-level window's owner
}

int LayerGetWindowRgn(HWND handle, HRGN region) {
  LayerWindow* window = LayerWindowOf(handle);
  auto target = LookupGdiAs<RegionObject>(region);
  if (window == nullptr || !target || !window->hasShape) return RGN_ERROR;
  target->region = window->shape;
  return RegionType(window->shape);
}

DWORD LayerWindowThreadProcessId(HWND handle, LPDWORD processId) {
  std::shared_ptr<LayerWindow> window = SharedWindowOf(handle);
  if (!window || window->destroyed) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId != nullptr) *processId = GetCurrentProcessId();
  return window->threadId;
}
