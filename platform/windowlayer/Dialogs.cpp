// Dialogs from templates compiled into the program, and their modal loop.
#include <platform/Kernel.h>
#include <platform/Log.h>
#include <platform/User.h>

#include <map>
#include <memory>
#include <mutex>

#include "DialogState.h"
#include "LayerWindow.h"

#ifndef ERROR_RESOURCE_NAME_NOT_FOUND
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u
#endif

namespace {

std::mutex g_lock;
std::map<WORD, const DialogTemplate*>& Templates() {
  static auto* templates = new std::map<WORD, const DialogTemplate*>;
  return *templates;
}

// Dialog states by window; a dialog's record lives until its window goes.
std::map<HWND, std::unique_ptr<DialogState>>& States() {
  static auto* states = new std::map<HWND, std::unique_ptr<DialogState>>;
  return *states;
}

// Windows reads these from the dialog font: the average width of the
// letters and the font's height.
void MeasureBaseUnits(HFONT font, DialogState* state) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE letters{};
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(dc, kLetters, 52, &letters);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  state->baseX = std::max<LONG>(1, (letters.cx / 26 + 1) / 2);
  state->baseY = std::max<LONG>(1, metrics.tmHeight);
}

RECT ToPixels(const DialogState& state, short x, short y, short cx, short cy) {
  return RECT{x * state.baseX / 4, y * state.baseY / 8, (x + cx) * state.baseX / 4, (y + cy) * state.baseY / 8};
}

}  // namespace

void RegisterDialogResource(WORD id, const DialogTemplate* dialog) {
  std::lock_guard<std::mutex> guard(g_lock);
  Templates()[id] = dialog;
}

DialogState* DialogStateOf(HWND dialog) {
  auto it = States().find(dialog);
  return it == States().end() ? nullptr : it->second.get();
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  DialogState* state = DialogStateOf(dialog);
  if (state == nullptr || rect == nullptr) return FALSE;
  *rect = ToPixels(*state, static_cast<short>(rect->left), static_cast<short>(rect->top),
                   static_cast<short>(rect->right - rect->left), static_cast<short>(rect->bottom - rect->top));
  return TRUE;
}

HWND CreateDialogParamW(HINSTANCE, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
  const auto id = reinterpret_cast<ULONG_PTR>(name);
  const DialogTemplate* dialog = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto found = id <= 0xffff ? Templates().find(static_cast<WORD>(id)) : Templates().end();
    if (found != Templates().end()) dialog = found->second;
  }
  if (dialog == nullptr) {
    PlatformLog("user: dialog resource %lu is not in the program", static_cast<unsigned long>(id));
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  EnsureWindowLayer();
  LOGFONTW logFont{};
  if (dialog->fontFace != nullptr) {
    // Points at the screen's 96 pixels per inch.
    logFont.lfHeight = -(dialog->pointSize * 96 + 36) / 72;
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(logFont.lfFaceName, dialog->fontFace, LF_FACESIZE - 1);
  }
  HFONT font = dialog->fontFace != nullptr ? CreateFontIndirectW(&logFont) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  auto state = std::make_unique<DialogState>();
  MeasureBaseUnits(font, state.get());
  const RECT frame = ToPixels(*state, dialog->x, dialog->y, dialog->cx, dialog->cy);
  HWND window = CreateWindowExW(dialog->exStyle, WC_DIALOGW, dialog->title != nullptr ? dialog->title : L"",
                                dialog->style & ~static_cast<DWORD>(WS_VISIBLE), frame.left, frame.top,
                                frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    if (dialog->fontFace != nullptr) DeleteObject(font);
    return nullptr;
  }
  DialogState* kept = state.get();
  States()[window] = std::move(state);
  SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  HWND firstTab = nullptr;
  for (int i = 0; i < dialog->itemCount; ++i) {
    const DialogItemTemplate& item = dialog->items[i];
    const RECT at = ToPixels(*kept, item.x, item.y, item.cx, item.cy);
    HWND control = CreateWindowExW(0, item.className, item.text != nullptr ? item.text : L"", item.style | WS_CHILD,
                                   at.left, at.top, at.right - at.left, at.bottom - at.top, window,
                                   reinterpret_cast<HANDLE>(static_cast<intptr_t>(item.id)), nullptr, nullptr);
    if (control == nullptr) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if ((item.style & WS_TABSTOP) && firstTab == nullptr) firstTab = control;
    if ((item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && wcscmp(item.className, WC_BUTTONW) == 0) kept->defaultId = item.id;
  }
  if (SendMessageW(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param) && firstTab != nullptr) {
    SetFocus(firstTab);
  }
  if ((dialog->style & WS_VISIBLE) && IsWindow(window)) ShowWindow(window, SW_SHOW);
  return window;
}

void AdoptAsDialog(HWND window, DLGPROC proc, HFONT font) {
  auto state = std::make_unique<DialogState>();
  MeasureBaseUnits(font, state.get());
  States()[window] = std::move(state);
  SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param) {
  HWND dialog = CreateDialogParamW(instance, name, owner, proc, param);
  if (dialog == nullptr) return -1;
  return RunModalLoop(dialog, owner);
}

INT_PTR RunModalLoop(HWND dialog, HWND owner) {
  // A modal window ends whatever mouse tracking was going on.
  if (HWND capture = GetCapture()) {
    SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  const bool ownerEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  DialogState* state = DialogStateOf(dialog);
  if (state != nullptr && !state->ended) ShowWindow(dialog, SW_SHOW);
  MSG msg{};
  bool quit = false;
  while ((state = DialogStateOf(dialog)) != nullptr && !state->ended) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = got == 0;
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  const INT_PTR result = state != nullptr ? state->result : -1;
  if (ownerEnabled) EnableWindow(owner, TRUE);
  if (owner != nullptr && GetActiveWindow() == dialog) SetActiveWindow(owner);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  // The outer loop must see the quit too.
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  DialogState* state = DialogStateOf(dialog);
  if (state == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  state->ended = true;
  state->result = result;
  ShowWindow(dialog, SW_HIDE);
  PostMessageW(dialog, WM_NULL, 0, 0);  // the modal loop looks again
  return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (msg == nullptr || LayerWindowOf(dialog) == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  LayerWindow* target = LayerWindowOf(msg->hwnd);
  if (target == nullptr || TopLevelOf(target) != LayerWindowOf(dialog)) return FALSE;
  DialogState* state = DialogStateOf(dialog);
  if (msg->wParam == VK_RETURN) {
    const int id = state != nullptr ? state->defaultId : IDOK;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    return TRUE;
  }
  if (msg->wParam == VK_ESCAPE) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    return TRUE;
  }
  return FALSE;
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    const LRESULT result = DefWindowProcW(dialog, message, wParam, lParam);
    States().erase(dialog);
    return result;
  }
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
  if (proc != nullptr) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
    const INT_PTR handled = proc(dialog, message, wParam, lParam);
    // These answer with the procedure's own value; the rest through DWLP_MSGRESULT.
    const bool direct = message == WM_INITDIALOG || message == WM_CTLCOLORBTN || message == WM_CTLCOLORDLG ||
                        message == WM_CTLCOLORSTATIC;
    if (handled) return direct ? handled : GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
    if (LayerWindowOf(dialog) == nullptr) return 0;  // the procedure destroyed it
  }
  switch (message) {
    case WM_CLOSE:
      // Closing asks the way Escape does.
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return 0;
    case WM_INITDIALOG:
      return TRUE;
    default:
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}
