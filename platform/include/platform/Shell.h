// Shell calls of the Windows design: the taskbar query.
#pragma once

#include <platform/Win32Types.h>

#define ABM_GETSTATE 0x00000004u
#define ABM_GETTASKBARPOS 0x00000005u

#define ABS_AUTOHIDE 0x0000001u
#define ABS_ALWAYSONTOP 0x0000002u

#define ABE_LEFT 0u
#define ABE_TOP 1u
#define ABE_RIGHT 2u
#define ABE_BOTTOM 3u

struct APPBARDATA {
  DWORD cbSize;
  HWND hWnd;
  UINT uCallbackMessage;
  UINT uEdge;
  RECT rc;
  LPARAM lParam;
};
typedef APPBARDATA* PAPPBARDATA;

// The taskbar is the strip of the X screen outside the desktop's work area
// (_NET_WORKAREA). ABM_GETSTATE gives ABS_ALWAYSONTOP while there is one, and
// never ABS_AUTOHIDE: a panel that hides leaves the work area whole, so it is
// not seen at all. ABM_GETTASKBARPOS fills uEdge and rc and returns TRUE; with
// no X display, no work area or none smaller than the screen rc is empty and
// it returns FALSE. Other messages return 0.
UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data);

// Starting a program with a verb. Only "open" (or none) and "runas" exist;
// there is no elevation here, so "runas" starts the program unelevated and
// logs a warning. The program and its parameters form a command line that is
// split with the Windows quoting rules and started without a shell.
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_FLAG_NO_UI 0x00000400u
struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCWSTR lpClass;
  void* hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
typedef SHELLEXECUTEINFOW* LPSHELLEXECUTEINFOW;
// hProcess is set only with SEE_MASK_NOCLOSEPROCESS (close it with CloseHandle).
BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info);
