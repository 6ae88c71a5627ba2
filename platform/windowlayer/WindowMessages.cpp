// Messages of the layer's windows: sent on the window's thread or carried
// there, posted through the thread queue, dispatched from the loop.
#include <platform/Kernel.h>
#include <platform/User.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "LayerWindow.h"
#include "QueueHooks.h"

namespace {

thread_local int t_procedureDepth = 0;
std::mutex g_inboxLock;

// Tasks for a thread's windows from other threads.
struct Inbox {
  std::mutex lock;
  std::deque<std::function<void()>> tasks;
};
std::map<DWORD, std::shared_ptr<Inbox>>& Inboxes() {
  static auto* inboxes = new std::map<DWORD, std::shared_ptr<Inbox>>;
  return *inboxes;
}

std::shared_ptr<Inbox> InboxOf(DWORD threadId) {
  std::lock_guard<std::mutex> guard(g_inboxLock);
  std::shared_ptr<Inbox>& inbox = Inboxes()[threadId];
  if (!inbox) inbox = std::make_shared<Inbox>();
  return inbox;
}

}  // namespace

bool InsideWindowProcedure() { return t_procedureDepth > 0; }

void RunPendingTasks() {
  std::shared_ptr<Inbox> inbox = InboxOf(GetCurrentThreadId());
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> guard(inbox->lock);
      if (inbox->tasks.empty()) return;
      task = std::move(inbox->tasks.front());
      inbox->tasks.pop_front();
    }
    task();
  }
}

void RunOnWindowThread(DWORD threadId, const std::function<void()>& task, bool wait) {
  if (threadId == GetCurrentThreadId()) {
    task();
    return;
  }
  auto done = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
  auto finished = std::make_shared<bool>(false);
  std::shared_ptr<Inbox> inbox = InboxOf(threadId);
  {
    std::lock_guard<std::mutex> guard(inbox->lock);
    inbox->tasks.push_back([task, done, finished] {
      task();
      std::lock_guard<std::mutex> doneGuard(done->first);
      *finished = true;
      done->second.notify_all();
    });
  }
  // An empty message wakes the thread's loop, which runs its tasks first.
  if (!PostWindowMessage(threadId, MSG{nullptr, WM_NULL, 0, 0, GetTickCount(), POINT{0, 0}})) return;
  if (!wait) return;
  std::unique_lock<std::mutex> guard(done->first);
  done->second.wait(guard, [&] { return *finished; });
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<LayerWindow> window = SharedWindowOf(handle);
  if (!window || window->destroyed) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window->threadId == GetCurrentThreadId()) {
    ++t_procedureDepth;
    const LRESULT result = CallWindowProcW(window->proc, handle, message, wParam, lParam);
    --t_procedureDepth;
    return result;
  }
  LRESULT result = 0;
  RunOnWindowThread(window->threadId, [&] {
    if (LayerWindow* target = LayerWindowOf(handle)) result = CallWindowProcW(target->proc, handle, message, wParam, lParam);
  }, true);
  return result;
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (handle == nullptr) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  std::shared_ptr<LayerWindow> window = SharedWindowOf(handle);
  if (!window || window->destroyed ||
      !PostWindowMessage(window->threadId, MSG{handle, message, wParam, lParam, GetTickCount(), POINT{0, 0}})) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (msg->hwnd == nullptr || LayerWindowOf(msg->hwnd) == nullptr) return 0;
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }  // no character messages are used

void PostQuitMessage(int exitCode) {
  PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}
