// The thread message queue of the Windows design, without windows: posted
// thread messages and thread timers. No X connection is involved.
#pragma once

#include <platform/Win32Types.h>

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#endif
#ifndef ERROR_INVALID_THREAD_ID
#define ERROR_INVALID_THREAD_ID 1444u
#endif
#ifndef ERROR_INVALID_TIMER_ID
#define ERROR_INVALID_TIMER_ID 1447u
#endif

#define WM_NULL 0x0000u
#define WM_QUIT 0x0012u
#define WM_TIMER 0x0113u
#define WM_USER 0x0400u

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;
typedef void (*TIMERPROC)(HWND window, UINT message, UINT_PTR timerId, DWORD tickCount);

// A thread has a queue from its first PeekMessageW or GetMessageW until it
// ends. The queue is unbounded: a post fails only when the thread has none
// (ERROR_INVALID_THREAD_ID), never because it is full.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

// Thread messages, and the messages of the window layer's windows (see
// UserWindows.h): window null takes both, a window only its own. A message
// range of 0, 0 means all. GetMessageW waits for a message and returns 0 for WM_QUIT,
// -1 on bad arguments, else nonzero. WM_TIMER is made only while no posted
// message waits, and once per timer however many periods have passed.
BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);

// Thread timers (window null) of the calling thread: every call makes a new
// timer with a new id, which is returned (0 on failure); the given id is not
// kept. Window timers: the window's timer of that id is made or replaced.
// The WM_TIMER message carries the id in wParam and the procedure in lParam;
// DispatchMessageW calls the procedure.
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR timerId);
