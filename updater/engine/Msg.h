// A message posted between the updater's message threads; the receiving
// thread deletes it after handling it, through the virtual destructor.
#pragma once

class CMsg {
 public:
  CMsg(int type = 0, int wParam = 0, int lParam = 0);
  virtual ~CMsg();

  void Set(int type, int wParam, int lParam);
  int GetType() const { return m_nType; }
  int GetWParam() const { return m_wParam; }
  int GetLParam() const { return m_lParam; }

 protected:
  int m_nType;
  int m_wParam;
  int m_lParam;
};
