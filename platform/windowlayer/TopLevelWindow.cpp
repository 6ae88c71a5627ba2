#include "TopLevelWindow.h"

#include <platform/User.h>

#include <QBackingStore>
#include <QExposeEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "LayerWindow.h"

static int VirtualKeyOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_F4: return VK_F4;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    default: return 0;
  }
}

TopLevelWindow::TopLevelWindow(HWND handle) : handle_(handle), store_(new QBackingStore(this)) {
  setSurfaceType(QSurface::RasterSurface);
}

TopLevelWindow::~TopLevelWindow() { delete store_; }

void TopLevelWindow::exposeEvent(QExposeEvent*) {
  LayerWindow* window = LayerWindowOf(handle_);
  if (window == nullptr || !isExposed()) return;
  window->dirty = QRegion(window->surface.rect());
  FlushTopLevel(window);
}

bool TopLevelWindow::event(QEvent* event) {
  LayerWindow* window = LayerWindowOf(handle_);
  if (window == nullptr) return QWindow::event(event);
  switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (event->type() != QEvent::MouseMove && mouse->button() != Qt::LeftButton) return true;
      DeliverMouse(window, event->type(), mouse->pos(), (mouse->buttons() & Qt::LeftButton) != 0);
      return true;
    }
    case QEvent::MouseButtonDblClick:
      return true;  // the layer tells double clicks itself, from the presses
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* key = static_cast<QKeyEvent*>(event);
      const int virtualKey = VirtualKeyOf(key->key());
      if (virtualKey != 0) {
        DeliverKey(window, virtualKey, event->type() == QEvent::KeyPress, (key->modifiers() & Qt::AltModifier) != 0);
      }
      return true;
    }
    case QEvent::Close:
      // The window manager's close button and Alt+F4 ask; the procedure decides.
      event->ignore();
      PostMessageW(handle_, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case QEvent::Move:
      if (isVisible()) window->rect.moveTo(position());
      return QWindow::event(event);
    case QEvent::FocusIn:
      if (GetActiveWindow() != handle_) SetActiveWindow(handle_);
      return QWindow::event(event);
    default:
      return QWindow::event(event);
  }
}
