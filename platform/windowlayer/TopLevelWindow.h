// The QWindow of a top-level window of the layer: hands Qt's events to the
// layer's input and painting.
#pragma once

#include <platform/Win32Types.h>

#include <QWindow>

class QBackingStore;

class TopLevelWindow : public QWindow {
 public:
  explicit TopLevelWindow(HWND handle);
  ~TopLevelWindow() override;
  QBackingStore* store() { return store_; }

 protected:
  bool event(QEvent* event) override;
  void exposeEvent(QExposeEvent* event) override;

 private:
  HWND handle_;
  QBackingStore* store_;  // owned: deleted with the window
};
