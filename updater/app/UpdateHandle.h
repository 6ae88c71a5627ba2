// What the update reports to its window. Every call may come from any
// thread; an implementation only posts to the window.
#pragma once

#include <string>

class CUpdateHandle {
 public:
  virtual void OnUpdateFinished(int code) = 0;
  virtual void OnUpdatePercent(int percent) = 0;
  virtual void ShowUpdateWnd(int showCommand) = 0;
  virtual void ShowUpdateText(const std::wstring& text) = 0;
  virtual void SetSvrErrText(const std::wstring& text) = 0;

 protected:
  ~CUpdateHandle() = default;
};
