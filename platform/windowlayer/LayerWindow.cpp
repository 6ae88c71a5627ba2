// Window records, classes, creation and destruction, procedures and window data.
#include "LayerWindow.h"

#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/Strings.h>
#include <platform/User.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "HandleRegistry.h"
#include "QueueHooks.h"
#include "TopLevelWindow.h"

#ifndef ERROR_CANNOT_FIND_WND_CLASS
#define ERROR_CANNOT_FIND_WND_CLASS 1407u
#endif
#ifndef ERROR_TLW_WITH_WSCHILD
#define ERROR_TLW_WITH_WSCHILD 1406u
#endif

namespace {

struct WindowClass {
  WNDPROC proc;
  UINT style;
  HBRUSH background;
};

std::mutex g_tableLock;
std::map<uintptr_t, std::shared_ptr<LayerWindow>>& Windows() {
  static auto* windows = new std::map<uintptr_t, std::shared_ptr<LayerWindow>>;  // outlives every window
  return *windows;
}
std::map<std::wstring, WindowClass>& Classes() {
  static auto* classes = new std::map<std::wstring, WindowClass>;
  return *classes;
}

thread_local std::vector<std::shared_ptr<LayerWindow>> t_buried;

void AddClass(const wchar_t* name, WNDPROC proc, UINT style, HBRUSH background) {
  std::lock_guard<std::mutex> guard(g_tableLock);
  Classes()[name] = WindowClass{proc, style, background};
}

HBRUSH SysColorBrush(int index) { return reinterpret_cast<HBRUSH>(static_cast<intptr_t>(index + 1)); }

}  // namespace

void RegisterBuiltInClasses() {
  AddClass(L"Button", ButtonProc, CS_DBLCLKS, SysColorBrush(COLOR_BTNFACE));
  AddClass(L"Static", StaticProc, 0, SysColorBrush(COLOR_BTNFACE));
  AddClass(L"msctls_progress32", ProgressProc, 0, SysColorBrush(COLOR_BTNFACE));
  AddClass(L"#32770", DialogClassProc, 0, SysColorBrush(COLOR_BTNFACE));
}

void ClearBuried() { t_buried.clear(); }


void Bury(std::shared_ptr<LayerWindow> window) { t_buried.push_back(std::move(window)); }

std::shared_ptr<LayerWindow> SharedWindowOf(HWND window) {
  if (!IsLayerHandle(window)) return nullptr;
  std::lock_guard<std::mutex> guard(g_tableLock);
  auto it = Windows().find(reinterpret_cast<uintptr_t>(window));
  return it == Windows().end() ? nullptr : it->second;
}

LayerWindow* LayerWindowOf(HWND window) {
  std::shared_ptr<LayerWindow> found = SharedWindowOf(window);
  if (!found || found->destroyed || found->threadId != GetCurrentThreadId()) return nullptr;
  return found.get();
}

LayerWindow* LayerWindowOrFail(HWND window) {
  LayerWindow* found = LayerWindowOf(window);
  if (found == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return found;
}

LayerWindow* TopLevelOf(LayerWindow* window) {
  while (window != nullptr && window->child) window = LayerWindowOf(window->parent);
  return window;
}

QPoint OffsetInTopLevel(const LayerWindow* window) {
  QPoint offset;
  while (window != nullptr && window->child) {
    offset += window->rect.topLeft();
    window = LayerWindowOf(window->parent);
  }
  return offset;
}

QRegion VisibleInTopLevel(const LayerWindow* window) {
  QRegion visible(QRect(OffsetInTopLevel(window), window->rect.size()));
  for (const LayerWindow* at = window; at != nullptr && at->child; at = LayerWindowOf(at->parent)) {
    if (!(at->style & WS_VISIBLE)) return QRegion();
    visible &= QRect(OffsetInTopLevel(at), at->rect.size());
  }
  return visible;
}

QPoint ScreenOrigin(const LayerWindow* window) {
  const LayerWindow* top = TopLevelOf(const_cast<LayerWindow*>(window));
  return (top != nullptr ? top->rect.topLeft() : QPoint()) + OffsetInTopLevel(window);
}

std::vector<LayerWindow*> ThreadTopLevels() {
  std::vector<LayerWindow*> found;
  const DWORD self = GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(g_tableLock);
  for (auto& entry : Windows()) {
    LayerWindow* window = entry.second.get();
    if (!window->child && !window->destroyed && window->threadId == self) found.push_back(window);
  }
  return found;  // handles grow, so the newest is last
}

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  EnsureWindowLayer();
  AddClass(windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->style, windowClass->hbrBackground);
  static std::atomic<ATOM> lastAtom{0xC000};
  return ++lastAtom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HANDLE menu, HINSTANCE instance, LPVOID param) {
  EnsureWindowLayer();
  WindowClass windowClass{};
  {
    std::lock_guard<std::mutex> guard(g_tableLock);
    auto found = className != nullptr ? Classes().find(className) : Classes().end();
    if (found == Classes().end()) {
      PlatformLog("user: CreateWindowExW of unknown class %s", WideToUtf8(className).c_str());
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    windowClass = found->second;
  }
  const bool child = (style & WS_CHILD) != 0;
  LayerWindow* parentWindow = LayerWindowOf(parent);
  if (child && parentWindow == nullptr) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  auto window = std::make_shared<LayerWindow>();
  window->handle = reinterpret_cast<HWND>(kLayerHandleTag | NextHandleValue());
  window->threadId = GetCurrentThreadId();
  window->className = className;
  window->classStyle = windowClass.style;
  window->background = windowClass.background;
  window->proc = windowClass.proc;
  window->style = static_cast<LONG>(style & ~static_cast<DWORD>(WS_VISIBLE));
  window->exStyle = static_cast<LONG>(exStyle);
  window->child = child;
  window->parent = parent;
  window->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
  window->rect = QRect(x, y, std::max(width, 0), std::max(height, 0));
  const HWND handle = window->handle;
  {
    std::lock_guard<std::mutex> guard(g_tableLock);
    Windows()[reinterpret_cast<uintptr_t>(handle)] = window;
  }
  if (child) {
    parentWindow->children.push_back(handle);
  } else {
    window->qt = std::make_unique<TopLevelWindow>(handle);
    Qt::WindowFlags flags = Qt::Window;
    if (!(style & WS_CAPTION)) flags |= Qt::FramelessWindowHint;
    if (exStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (exStyle & WS_EX_TOOLWINDOW) flags |= Qt::Tool;
    window->qt->setFlags(flags);
    window->qt->setGeometry(window->rect);
    if (LayerWindow* owner = TopLevelOf(parentWindow)) window->qt->setTransientParent(owner->qt.get());
    window->surface = QImage(window->rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    window->surface.fill(Qt::black);
  }
  CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), title, className,
                       exStyle};
  if (!SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) ||
      SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return handle;
}

BOOL DestroyWindow(HWND handle) {
  std::shared_ptr<LayerWindow> keep = SharedWindowOf(handle);
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return FALSE;
  if (window->style & WS_VISIBLE) ShowWindow(handle, SW_HIDE);
  ForgetWindowInput(handle);
  SendMessageW(handle, WM_DESTROY, 0, 0);
  const std::vector<HWND> children = window->children;
  for (HWND child : children) DestroyWindow(child);
  SendMessageW(handle, WM_NCDESTROY, 0, 0);
  window->destroyed = true;
  RemoveWindowTimers(handle);
  if (LayerWindow* parent = window->child ? LayerWindowOf(window->parent) : nullptr) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
  }
  if (window->qt) {
    window->qt->hide();
    window->qt.reset();
  }
  {
    std::lock_guard<std::mutex> guard(g_tableLock);
    Windows().erase(reinterpret_cast<uintptr_t>(handle));
  }
  Bury(std::move(keep));
  return TRUE;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc != nullptr ? proc(window, message, wParam, lParam) : 0;
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return 0;
  SetLastError(ERROR_SUCCESS);
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window->parent);
    case GWLP_ID: return window->id;
    case GWL_STYLE: return window->style;
    case GWL_EXSTYLE: return window->exStyle;
    case GWLP_USERDATA: return window->userData;
    case DWLP_MSGRESULT: case DWLP_DLGPROC: case DWLP_USER: return window->dialogSlots[index / 8];
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
  LayerWindow* window = LayerWindowOrFail(handle);
  if (window == nullptr) return 0;
  const LONG_PTR previous = GetWindowLongPtrW(handle, index);
  switch (index) {
    case GWLP_WNDPROC: window->proc = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_ID: window->id = value; break;
    case GWL_STYLE: window->style = (static_cast<LONG>(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE); break;
    case GWL_EXSTYLE: window->exStyle = static_cast<LONG>(value); break;
    case GWLP_USERDATA: window->userData = value; break;
    case DWLP_MSGRESULT: case DWLP_DLGPROC: case DWLP_USER: window->dialogSlots[index / 8] = value; break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  return previous;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (LayerWindowOrFail(window) == nullptr) return FALSE;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text != nullptr ? text : L"")) ? TRUE : FALSE;
}

int GetWindowTextLengthW(HWND window) { return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)); }

HWND GetDlgItem(HWND dialog, int id) {
  LayerWindow* window = LayerWindowOf(dialog);
  if (window == nullptr) return nullptr;
  for (HWND child : window->children) {
    LayerWindow* control = LayerWindowOf(child);
    if (control != nullptr && control->id == id) return child;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

int GetDlgCtrlID(HWND handle) {
  LayerWindow* window = LayerWindowOf(handle);
  return window != nullptr && window->child ? static_cast<int>(window->id) : 0;
}
