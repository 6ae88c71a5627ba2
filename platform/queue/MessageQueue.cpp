#include <platform/MessageQueue.h>

#include <platform/Kernel.h>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "QueueHooks.h"
#include "ThreadQueue.h"
#include "WorkerThreadObject.h"

namespace {

struct QueueTable {
  std::mutex lock;
  std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> byThread;
};

QueueTable& TheQueueTable() {
  static QueueTable* table = new QueueTable;  // never destroyed: threads end during exit
  return *table;
}

// The calling thread's queue; it leaves the table as the thread ends, so a
// later post fails instead of filling a queue nobody reads.
void DropOwnQueue();

class OwnQueue {
 public:
  ~OwnQueue() { Drop(); }
  void Drop() {
    if (!queue_) return;
    QueueTable& table = TheQueueTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.byThread.find(threadId_);
    if (it != table.byThread.end() && it->second == queue_) table.byThread.erase(it);
    queue_.reset();
  }
  ThreadQueue* Get() {
    if (queue_) return queue_.get();
    SetThreadEndHook(DropOwnQueue);
    queue_ = std::make_shared<ThreadQueue>();
    threadId_ = GetCurrentThreadId();
    QueueTable& table = TheQueueTable();
    std::lock_guard<std::mutex> guard(table.lock);
    table.byThread[threadId_] = queue_;
    return queue_.get();
  }

 private:
  std::shared_ptr<ThreadQueue> queue_;
  DWORD threadId_ = 0;
};

thread_local OwnQueue t_queue;

void DropOwnQueue() { t_queue.Drop(); }

std::shared_ptr<ThreadQueue> QueueOf(DWORD threadId) {
  QueueTable& table = TheQueueTable();
  std::lock_guard<std::mutex> guard(table.lock);
  auto it = table.byThread.find(threadId);
  return it == table.byThread.end() ? nullptr : it->second;
}

std::mutex g_hooksLock;
WindowQueueHooks g_hooks{nullptr};

bool IsLayerWindow(HWND window) {
  std::lock_guard<std::mutex> guard(g_hooksLock);
  return g_hooks.isWindow != nullptr && g_hooks.isWindow(window);
}

bool CheckArguments(LPMSG msg, HWND window) {
  if (window && !IsLayerWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

}  // namespace

void SetWindowQueueHooks(const WindowQueueHooks& hooks) {
  std::lock_guard<std::mutex> guard(g_hooksLock);
  g_hooks = hooks;
}

void InstallQueuePump(QueuePump* pump) { t_queue.Get()->SetPump(pump); }

bool PostWindowMessage(DWORD threadId, const MSG& msg) {
  std::shared_ptr<ThreadQueue> queue = QueueOf(threadId);
  if (!queue) return false;
  queue->Post(msg);
  return true;
}

void RemoveWindowTimers(HWND window) { t_queue.Get()->RemoveWindowTimers(window); }

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<ThreadQueue> queue = QueueOf(threadId);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  queue->Post(MSG{nullptr, message, wParam, lParam, GetTickCount(), POINT{0, 0}});
  return TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (!CheckArguments(msg, window)) return FALSE;
  return t_queue.Get()->Take(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0, false) ? TRUE
                                                                                                       : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!CheckArguments(msg, window)) return -1;
  t_queue.Get()->Take(msg, window, filterMin, filterMax, true, true);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc) {
  if (window && !IsLayerWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // A window timer runs on its window's thread, which is the caller's.
  const UINT_PTR id = t_queue.Get()->AddTimer(window, timerId, elapseMs, proc);
  return window && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR timerId) {
  if (window && !IsLayerWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!t_queue.Get()->RemoveTimer(window, timerId)) {
    SetLastError(ERROR_INVALID_TIMER_ID);
    return FALSE;
  }
  return TRUE;
}
