// A dialog class over a template of the program's resources: T names its
// template with an IDD member, and handles its messages in a message map.
#pragma once

#include <platform/Resources.h>
#include <platform/atl/AtlWindowImpl.h>

namespace atl {

template <typename T, typename TBase = CWindow>
class CDialogImpl : public CWindowImplRoot<TBase> {
 public:
  using CWindowImplRoot<TBase>::m_hWnd;

  INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM init = 0) {
    Creating() = this;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(T::IDD), parent, StartDialogProc, init);
  }
  HWND Create(HWND parent, LPARAM init = 0) {
    Creating() = this;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(T::IDD), parent, StartDialogProc, init);
  }
  BOOL EndDialog(int result) { return ::EndDialog(m_hWnd, result); }

 private:
  // The dialog procedure meets its object at the first message, before WM_INITDIALOG.
  static CDialogImpl*& Creating() {
    thread_local CDialogImpl* creating = nullptr;
    return creating;
  }

  static INT_PTR StartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogImpl* self = Creating();
    Creating() = nullptr;
    if (self == nullptr) return FALSE;
    self->m_hWnd = dialog;
    self->Remember();
    ::SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(DialogProc));
    return DialogProc(dialog, message, wParam, lParam);
  }

  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CDialogImpl*>(CWindowImplRoot<TBase>::Lookup(dialog));
    if (self == nullptr) return FALSE;
    LRESULT result = 0;
    const MSG previous = self->m_current;
    self->m_current = MSG{dialog, message, wParam, lParam, 0, POINT{0, 0}};
    const BOOL handled = self->ProcessWindowMessage(dialog, message, wParam, lParam, result, 0);
    self->m_current = previous;
    if (message == WM_NCDESTROY) {
      self->Forget();
      self->m_hWnd = nullptr;
      self->OnFinalMessage(dialog);
      return FALSE;
    }
    if (!handled) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSTATIC:
        return result;
      default:
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }
};

}  // namespace atl
