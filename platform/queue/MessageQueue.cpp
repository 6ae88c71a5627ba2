#include <platform/MessageQueue.h>

#include <platform/Kernel.h>

#include <memory>
#include <mutex>
#include <unordered_map>

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

bool CheckArguments(LPMSG msg, HWND window) {
  if (window) {
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
  return t_queue.Get()->Take(msg, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!CheckArguments(msg, window)) return -1;
  t_queue.Get()->Take(msg, filterMin, filterMax, true, true);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR, UINT elapseMs, TIMERPROC proc) {
  if (window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return t_queue.Get()->AddTimer(elapseMs, proc);
}

BOOL KillTimer(HWND window, UINT_PTR timerId) {
  if (window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!t_queue.Get()->RemoveTimer(timerId)) {
    SetLastError(ERROR_INVALID_TIMER_ID);
    return FALSE;
  }
  return TRUE;
}
