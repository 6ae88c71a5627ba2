// The windows of the updater's window layer. A top-level window is a QWindow
// with a QBackingStore; its children are ours alone: they hit-test, take the
// capture and paint into the top-level's image. Every window is used only on
// the thread that made it; the table of handles is shared with PostMessageW.
#pragma once

#include <platform/User.h>

#include <QImage>
#include <QRect>
#include <QRegion>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "WindowLayerCalls.h"  // IsLayerHandle

class TopLevelWindow;

struct LayerWindow {
  HWND handle = nullptr;
  DWORD threadId = 0;
  std::wstring className;
  UINT classStyle = 0;
  HBRUSH background = nullptr;  // a brush, or a system colour index + 1
  WNDPROC proc = nullptr;
  std::wstring text;
  LONG style = 0;
  LONG exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  LONG_PTR dialogSlots[3] = {0, 0, 0};  // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER
  LONG_PTR controlData[4] = {0, 0, 0, 0};  // the built-in controls' own state
  HWND parent = nullptr;  // a child's parent; a top-level window's owner
  bool child = false;
  QRect rect;  // a child: in its parent's client area; a top-level window: on the screen
  std::vector<HWND> children;  // in creation order: the first is on top
  QRegion invalid;  // client coordinates
  bool erase = false;
  bool destroyed = false;
  HFONT font = nullptr;
  HICON icons[2] = {nullptr, nullptr};  // ICON_SMALL, ICON_BIG
  // Top-level windows only. TopLevelWindow.h completes the type for the
  // files that reach the QWindow.
  std::unique_ptr<TopLevelWindow> qt;
  QImage surface;
  QRegion dirty;  // surface pixels not yet in the backing store
  bool hasShape = false;
  QRegion shape;
};

// A window of the calling thread's layer, or null (also for X window ids).
LayerWindow* LayerWindowOf(HWND window);
// The same for a call on the handle: null sets ERROR_INVALID_WINDOW_HANDLE.
LayerWindow* LayerWindowOrFail(HWND window);
LayerWindow* TopLevelOf(LayerWindow* window);
// Where the window's client area lies in its top-level window's image, and
// the part of it that is not covered by its ancestors' edges.
QPoint OffsetInTopLevel(const LayerWindow* window);
QRegion VisibleInTopLevel(const LayerWindow* window);
QPoint ScreenOrigin(const LayerWindow* window);
// The calling thread's top-level windows, newest last.
std::vector<LayerWindow*> ThreadTopLevels();

// The message loop's side of the layer (MessageLoop.cpp, LayerWindow.cpp).
void EnsureWindowLayer();
void RegisterBuiltInClasses();
// Tasks other threads left for the calling thread's windows.
void RunPendingTasks();
void ClearBuried();
bool InsideWindowProcedure();
// Paints every invalid window of the thread and flushes the images.
void PaintAndFlush();
void PaintTree(LayerWindow* topLevel);
void FlushTopLevel(LayerWindow* topLevel);
void MarkDirty(LayerWindow* window, const QRegion& clientArea);

// Input from Qt (WindowInput.cpp).
void DeliverMouse(LayerWindow* topLevel, int type, const QPoint& local, bool leftDown);
void DeliverKey(LayerWindow* topLevel, int virtualKey, bool down, bool alt);
void ForgetWindowInput(HWND window);

// Built-in control classes (BuiltInControls.cpp).
LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The halves of the calls X window ids reach too (LayerCalls.cpp calls them).
BOOL LayerShowWindow(LayerWindow* window, int command);
BOOL LayerSetWindowPos(LayerWindow* window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
int LayerSetWindowRgn(LayerWindow* window, HRGN region, BOOL redraw);
BOOL LayerGetWindowRect(LayerWindow* window, LPRECT rect);
HDC LayerGetDc(HWND window);
int LayerReleaseDc(HWND window, HDC dc);

// Runs task on the window's thread: at once on that thread, else through its
// message loop (waiting for it when wait is set).
void RunOnWindowThread(DWORD threadId, const std::function<void()>& task, bool wait);
// Keeps a destroyed window's record until the thread's loop runs again, so a
// procedure that destroyed its own window may still read it.
void Bury(std::shared_ptr<LayerWindow> window);
std::shared_ptr<LayerWindow> SharedWindowOf(HWND window);
void InvalidateRegion(LayerWindow* window, const QRegion& area, bool erase);
BOOL IsLayerWindowVisible(HWND window);
HWND LayerGetParent(HWND window);
int LayerGetWindowRgn(HWND window, HRGN region);
DWORD LayerWindowThreadProcessId(HWND window, LPDWORD processId);

// Hands the layer's halves of the calls both kinds of window take to the
// X11 half (LayerCalls.cpp).
void RegisterLayerCalls();
