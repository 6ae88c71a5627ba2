// The message box: a modal dialog of the layer's own, laid out from its text.
#include <platform/GdiOwners.h>
#include <platform/Kernel.h>
#include <platform/StockIcons.h>
#include <platform/User.h>
#include <platform/atl/AtlWindow.h>

#include "DialogState.h"
#include "LayerWindow.h"

namespace {

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kGap = 12;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kMaxTextWidth = 420;
constexpr int kMinWidth = 240;

bool YesNo(HWND box) { return GetDlgItem(box, IDYES) != nullptr; }

INT_PTR BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return message == WM_INITDIALOG ? TRUE : FALSE;
  const int id = LOWORD(wParam);
  if (id == IDOK || id == IDYES || id == IDNO) EndDialog(box, id);
  // Escape and closing: the answer that changes nothing.
  if (id == IDCANCEL) EndDialog(box, YesNo(box) ? IDNO : IDOK);
  return TRUE;
}

LPCWSTR IconFor(UINT type) {
  switch (type & 0xF0u) {
    case MB_ICONERROR: return IDI_ERROR;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONWARNING: return IDI_WARNING;
    case MB_ICONINFORMATION: return IDI_INFORMATION;
    default: return nullptr;
  }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  EnsureWindowLayer();
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  const std::wstring body = text != nullptr ? text : L"";
  // The text's size, wrapped at the widest a box may be.
  RECT textRect{0, 0, kMaxTextWidth, 0};
  {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, body.c_str(), -1, &textRect, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  LPCWSTR iconName = IconFor(type);
  const int textLeft = kMargin + (iconName != nullptr ? kIconSize + kGap : 0);
  const int textHeight = std::max<int>(textRect.bottom, iconName != nullptr ? kIconSize : 0);
  const bool yesNo = (type & 0xFu) == MB_YESNO;
  const int buttons = yesNo ? 2 : 1;
  const int buttonsWidth = buttons * kButtonWidth + (buttons - 1) * kGap;
  const int width = std::max({textLeft + static_cast<int>(textRect.right) + kMargin, buttonsWidth + 2 * kMargin, kMinWidth});
  const int height = kMargin + textHeight + kGap + kButtonHeight + kMargin;
  LayerWindow* ownerWindow = LayerWindowOf(owner);
  const bool topmost = (type & MB_TOPMOST) || (ownerWindow != nullptr && (TopLevelOf(ownerWindow)->exStyle & WS_EX_TOPMOST));
  HWND box = CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, WC_DIALOGW, caption != nullptr ? caption : L"",
                             WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, width, height, owner, nullptr, nullptr, nullptr);
  if (box == nullptr) {
    DeleteObject(font);
    return 0;
  }
  AdoptAsDialog(box, BoxProc, font);
  if (iconName != nullptr) {
    HWND icon = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_ICON, kMargin, kMargin, kIconSize,
                                kIconSize, box, reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)), nullptr, nullptr);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, iconName)), 0);
  }
  HWND label = CreateWindowExW(0, WC_STATICW, body.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, textLeft, kMargin,
                               textRect.right, textHeight, box, reinterpret_cast<HANDLE>(static_cast<intptr_t>(0xFFFF)),
                               nullptr, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  struct Choice {
    int id;
    const wchar_t* text;
  };
  const Choice okOnly[] = {{IDOK, L"OK"}};
  const Choice yesAndNo[] = {{IDYES, L"Yes"}, {IDNO, L"No"}};
  const Choice* choices = yesNo ? yesAndNo : okOnly;
  int left = width - kMargin - buttonsWidth;
  for (int i = 0; i < buttons; ++i) {
    HWND button = CreateWindowExW(0, WC_BUTTONW, choices[i].text, WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                                  (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left, height - kMargin - kButtonHeight,
                                  kButtonWidth, kButtonHeight, box, reinterpret_cast<HANDLE>(static_cast<intptr_t>(choices[i].id)),
                                  nullptr, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    left += kButtonWidth + kGap;
  }
  if (DialogState* state = DialogStateOf(box)) state->defaultId = choices[0].id;
  atl::CWindow(box).CenterWindow(owner);
  const int answer = static_cast<int>(RunModalLoop(box, owner));
  DeleteObject(font);
  return answer;
}
