// A window whose messages go to a C++ object's message map first, and on to
// the procedure it replaced (subclassing) or the default one.
#pragma once

#include <platform/atl/AtlWindow.h>

namespace atl {

// The object behind each window of this kind, found from the window handle.
// TBase is the handle wrapper the class builds on (a control's wrapper).
template <typename TBase = CWindow>
class CWindowImplRoot : public TBase, public CMessageMap {
 public:
  using TBase::m_hWnd;

  ~CWindowImplRoot() override { Forget(); }

  // Hands the rest to the replaced procedure; reflected messages nobody
  // handled end here.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= OCM__BASE && message <= OCM__BASE + 0x1FF) return 0;
    return ::CallWindowProcW(m_pfnSuperWindowProc != nullptr ? m_pfnSuperWindowProc : ::DefWindowProcW, m_hWnd, message,
                             wParam, lParam);
  }
  LRESULT DefWindowProc() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

  BOOL SubclassWindow(HWND window) {
    if (m_hWnd != nullptr || !::IsWindow(window)) return FALSE;
    m_hWnd = window;
    Remember();
    m_pfnSuperWindowProc =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowProc())));
    return TRUE;
  }
  HWND UnsubclassWindow() {
    const HWND window = m_hWnd;
    if (window == nullptr) return nullptr;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    Forget();
    m_hWnd = nullptr;
    m_pfnSuperWindowProc = nullptr;
    return window;
  }

  virtual WNDPROC GetWindowProc() { return WindowProc; }
  virtual void OnFinalMessage(HWND) {}

  static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowImplRoot* self = Lookup(window);
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    const MSG previous = self->m_current;
    self->m_current = MSG{window, message, wParam, lParam, 0, POINT{0, 0}};
    LRESULT result = 0;
    if (!self->ProcessWindowMessage(window, message, wParam, lParam, result, 0)) {
      result = self->DefWindowProc(message, wParam, lParam);
    }
    self->m_current = previous;
    if (message == WM_NCDESTROY) {
      self->Forget();
      self->m_hWnd = nullptr;
      self->OnFinalMessage(window);
    }
    return result;
  }

  LRESULT ReflectNotifications(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    return ReflectNotification(m_hWnd, message, wParam, lParam, handled);
  }
  static BOOL DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message < OCM__BASE || message > OCM__BASE + 0x1FF) return FALSE;
    result = ::DefWindowProcW(window, message - OCM__BASE, wParam, lParam);
    return TRUE;
  }

 protected:
  void Remember() {
    std::lock_guard<std::mutex> guard(Lock());
    Table()[m_hWnd] = this;
  }
  void Forget() {
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Table().find(m_hWnd);
    if (it != Table().end() && it->second == this) Table().erase(it);
  }
  static CWindowImplRoot* Lookup(HWND window) {
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Table().find(window);
    return it == Table().end() ? nullptr : it->second;
  }
  static std::map<HWND, CWindowImplRoot*>& Table() {
    static auto* table = new std::map<HWND, CWindowImplRoot*>;  // windows may outlive static destruction
    return *table;
  }
  static std::mutex& Lock() {
    static auto* lock = new std::mutex;
    return *lock;
  }

  WNDPROC m_pfnSuperWindowProc = nullptr;
  MSG m_current{};
};

template <typename T, typename TBase = CWindow>
class CWindowImpl : public CWindowImplRoot<TBase> {};

}  // namespace atl
