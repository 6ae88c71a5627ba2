// The layer's top-level QWindows and the join of Qt's event loop with the
// thread queue: a GUI thread waits in Qt's dispatcher, and every turn of its
// message loop handles Qt's events, tasks from other threads and painting.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QAbstractEventDispatcher>
#include <QBackingStore>
#include <QCoreApplication>
#include <QExposeEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <mutex>

#include "FontObject.h"
#include "LayerWindow.h"
#include "QueueHooks.h"
#include "WindowDc.h"

namespace {

class GuiPump : public QueuePump {
 public:
  explicit GuiPump(QAbstractEventDispatcher* dispatcher) : dispatcher_(dispatcher) {}

  void Pump(int timeoutMs) override {
    // Nested loops (a message box inside a handler) come back here; painting
    // is not re-entered, Qt's events and the tasks are.
    RunPendingTasks();
    if (timeoutMs == 0) {
      QCoreApplication::sendPostedEvents();
      dispatcher_->processEvents(QEventLoop::AllEvents);
    } else {
      QTimer alarm;  // ends the wait at the next timer's time
      alarm.setSingleShot(true);
      if (timeoutMs > 0) alarm.start(timeoutMs);
      dispatcher_->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      QCoreApplication::sendPostedEvents();
    }
    RunPendingTasks();
    if (!painting_) {
      painting_ = true;
      PaintAndFlush();
      painting_ = false;
    }
    // Records of destroyed windows go only where no procedure can still hold one.
    if (!InsideWindowProcedure()) ClearBuried();
  }

  void Wake() override { dispatcher_->wakeUp(); }

 private:
  QAbstractEventDispatcher* dispatcher_;
  bool painting_ = false;
};

bool IsWindowForQueue(HWND window) { return SharedWindowOf(window) != nullptr; }

bool OwnsForGdi(HWND window) { return IsLayerHandle(window); }

int VirtualKeyOf(int key) {
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

}  // namespace

void EnsureWindowLayer() {
  EnsureGuiApplication();
  static std::once_flag once;
  std::call_once(once, [] {
    SetWindowQueueHooks(WindowQueueHooks{IsWindowForQueue});
    SetWindowDcSource(WindowDcSource{OwnsForGdi, LayerGetDc, LayerReleaseDc});
    RegisterLayerCalls();
    RegisterBuiltInClasses();
  });
  thread_local GuiPump* pump = nullptr;
  // Only a thread with Qt's event loop (the GUI thread) waits in it.
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (pump == nullptr && dispatcher != nullptr) {
    // Lives as long as the thread's queue may call it: to the process's end.
    pump = new GuiPump(dispatcher);
    InstallQueuePump(pump);
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
