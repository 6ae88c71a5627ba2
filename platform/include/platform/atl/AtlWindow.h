// Small window-framework templates of our own over the window layer, in the
// shape the updater's classes are written against: a window handle wrapper,
// message maps, and windows that route their messages to a C++ object.
#pragma once

#include <platform/User.h>

#include <map>
#include <mutex>

// Message maps: a class lists the messages it handles; a handler sets
// bHandled to FALSE to let the message go on to the default.
#define BEGIN_MSG_MAP(theClass)                                                                           \
 public:                                                                                                  \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,       \
                            DWORD dwMsgMapID = 0) override {                                              \
    (void)hWnd;                                                                                           \
    BOOL bHandled = TRUE;                                                                                 \
    (void)bHandled;                                                                                       \
    switch (dwMsgMapID) {                                                                                 \
      case 0:

#define MESSAGE_HANDLER(msg, func)                         \
  if (uMsg == (msg)) {                                     \
    bHandled = TRUE;                                       \
    lResult = func(uMsg, wParam, lParam, bHandled);        \
    if (bHandled) return TRUE;                             \
  }

#define MESSAGE_RANGE_HANDLER(first, last, func)           \
  if (uMsg >= (first) && uMsg <= (last)) {                 \
    bHandled = TRUE;                                       \
    lResult = func(uMsg, wParam, lParam, bHandled);        \
    if (bHandled) return TRUE;                             \
  }

#define COMMAND_ID_HANDLER(id, func)                                                             \
  if (uMsg == WM_COMMAND && (id) == LOWORD(wParam)) {                                            \
    bHandled = TRUE;                                                                             \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
    if (bHandled) return TRUE;                                                                   \
  }

#define REFLECTED_COMMAND_CODE_HANDLER(code, func)                                               \
  if (uMsg == OCM_COMMAND && (code) == HIWORD(wParam)) {                                         \
    bHandled = TRUE;                                                                             \
    lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled);    \
    if (bHandled) return TRUE;                                                                   \
  }

// Notifications from children go back to the child as message + OCM__BASE.
#define REFLECT_NOTIFICATIONS()                                        \
  {                                                                    \
    bHandled = TRUE;                                                   \
    lResult = ReflectNotifications(uMsg, wParam, lParam, bHandled);    \
    if (bHandled) return TRUE;                                         \
  }

#define DEFAULT_REFLECTION_HANDLER()                                                 \
  if (DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

#define END_MSG_MAP() \
  break;              \
  default:            \
    break;            \
    }                 \
    return FALSE;     \
    }

namespace atl {

class CMessageMap {
 public:
  virtual ~CMessageMap() = default;
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                    DWORD dwMsgMapID = 0) = 0;
};

class CWindow {
 public:
  explicit CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
  operator HWND() const { return m_hWnd; }
  BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL Invalidate(BOOL erase = TRUE) const { return ::InvalidateRect(m_hWnd, nullptr, erase); }
  BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) const {
    return ::RedrawWindow(m_hWnd, rect, region, flags);
  }
  BOOL GetClientRect(LPRECT rect) const { return ::GetClientRect(m_hWnd, rect); }
  BOOL GetWindowRect(LPRECT rect) const { return ::GetWindowRect(m_hWnd, rect); }
  BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  LONG GetStyle() const { return static_cast<LONG>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
  BOOL ModifyStyle(LONG remove, LONG add) const {
    const LONG style = GetStyle();
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~remove) | add);
    return TRUE;
  }
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  BOOL SetWindowText(LPCWSTR text) const { return ::SetWindowTextW(m_hWnd, text); }
  BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
  }
  BOOL ScreenToClient(LPPOINT point) const { return ::ScreenToClient(m_hWnd, point); }
  BOOL ClientToScreen(LPPOINT point) const { return ::ClientToScreen(m_hWnd, point); }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
  BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
  HICON SetIcon(HICON icon, BOOL big = TRUE) const {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  // Centres the window on its owner, or on the screen without one.
  BOOL CenterWindow(HWND centreOn = nullptr) const;
  BOOL DestroyWindow() {
    const BOOL done = ::DestroyWindow(m_hWnd);
    if (done) m_hWnd = nullptr;
    return done;
  }

  HWND m_hWnd;
};

// Notifications reflected back to the child they came from.
LRESULT ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);

}  // namespace atl
