// The join of Qt's event loop with the thread queue: a GUI thread waits in
// Qt's dispatcher, and every turn of its message loop handles Qt's events,
// tasks from other threads and painting.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
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
