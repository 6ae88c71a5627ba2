// Dialogs of the window layer: templates compiled into the program, the
// modal loop, keyboard answers, and the message box. Included by User.h; the
// calls are in platform_windowlayer.
#pragma once

#include <platform/UserWindows.h>

typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define DS_MODALFRAME 0x80L
#define DS_SETFONT 0x40L
#define DM_GETDEFID (WM_USER + 0)

#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define MB_TOPMOST 0x00040000u

// One control of a dialog template; positions and sizes in dialog units.
struct DialogItemTemplate {
  const wchar_t* className;  // "Button", "Static", "msctls_progress32"
  const wchar_t* text;
  int id;
  DWORD style;  // WS_CHILD is implied
  short x, y, cx, cy;
};

// A dialog as the program's resource section would hold it. Dialog units:
// x / 4 and y / 8 of the dialog font's average character width and height.
struct DialogTemplate {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  const wchar_t* title;
  const wchar_t* fontFace;
  WORD pointSize;
  const DialogItemTemplate* items;
  int itemCount;
};

// The template stays the caller's: pass one with static storage.
void RegisterDialogResource(WORD id, const DialogTemplate* dialog);

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param);
// Disables the owner, runs the modal loop (posted messages and timers of the
// thread keep being dispatched) and returns what EndDialog was given; -1
// when the dialog cannot be made.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
// Enter answers with the default button (IDOK), Escape with IDCANCEL.
BOOL IsDialogMessageW(HWND dialog, LPMSG msg);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// A dialog unit rectangle in pixels of the dialog's font.
BOOL MapDialogRect(HWND dialog, LPRECT rect);

// A modal box of the layer's own: text of several lines, an error, warning,
// question or information icon, OK or Yes and No. Enter gives OK or Yes,
// Escape and closing give OK or No.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
