// The framework templates' out-of-line pieces.
#include <platform/atl/AtlWindow.h>

#include <QGuiApplication>
#include <QScreen>

#include "LayerWindow.h"

namespace atl {

BOOL CWindow::CenterWindow(HWND centreOn) const {
  RECT self{};
  if (!::GetWindowRect(m_hWnd, &self)) return FALSE;
  if (centreOn == nullptr) centreOn = ::GetParent(m_hWnd);
  RECT area{};
  if (centreOn == nullptr || !::GetWindowRect(centreOn, &area)) {
    EnsureWindowLayer();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    area = RECT{available.left(), available.top(), available.left() + available.width(),
                available.top() + available.height()};
  }
  const int width = self.right - self.left, height = self.bottom - self.top;
  const int x = area.left + ((area.right - area.left) - width) / 2;
  const int y = area.top + ((area.bottom - area.top) - height) / 2;
  return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT ReflectNotification(HWND, UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_DRAWITEM:
      if (wParam != 0) child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      child = reinterpret_cast<HWND>(lParam);
      break;
    default:
      break;
  }
  if (child == nullptr || !::IsWindow(child)) {
    handled = FALSE;
    return 1;
  }
  return ::SendMessageW(child, OCM__BASE + message, wParam, lParam);
}

}  // namespace atl
