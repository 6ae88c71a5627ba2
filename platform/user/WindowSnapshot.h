// What the window calls of a capture walk read of each top-level window, read
// for the whole stack at once: every request of every window goes out before
// the first reply is read, so a stack of any size costs one round trip, not
// one per call and window. X11 headers stay in the .cpp file.
#pragma once

#include <unordered_map>
#include <vector>

struct _XDisplay;

// One window's answers. Each flag says its requests were answered without an
// error; a window destroyed before its requests reached the server has them
// all false and answers as a window that is gone.
struct WindowFacts {
  // GetWindowAttributes and GetGeometry, as XGetWindowAttributes asks both.
  bool attributes = false;
  int mapState = 0;
  int depth = 0;
  int borderWidth = 0;
  int width = 0;
  int height = 0;
  // The window's origin in root coordinates.
  bool translated = false;
  int x = 0;
  int y = 0;
  bool tree = false;
  unsigned long parent = 0;
  bool hasWmState = false;
  // WM_TRANSIENT_FOR as XGetTransientForHint reads it.
  bool hasOwner = false;
  unsigned long owner = 0;
  bool hasPid = false;  // a _NET_WM_PID with at least one item
  unsigned long pid = 0;
  bool hasTypes = false;  // _NET_WM_WINDOW_TYPE
  std::vector<unsigned long> types;
  // A bounding shape was set and its rectangles read.
  bool shaped = false;
  struct Rect {
    int x, y, width, height;
  };
  std::vector<Rect> shape;
  bool shapeBanded = false;
};

class WindowSnapshot {
 public:
  // Reads the facts of the given windows. Without an xcb side to the display
  // it stays empty, and every call asks the server as before.
  WindowSnapshot(_XDisplay* display, const std::vector<unsigned long>& windows);

  // Null for a window the snapshot was not taken of.
  const WindowFacts* Find(unsigned long window) const;

 private:
  std::unordered_map<unsigned long, WindowFacts> facts_;
};
