#include "Msg.h"

CMsg::CMsg(int type, int wParam, int lParam) : m_nType(type), m_wParam(wParam), m_lParam(lParam) {}

CMsg::~CMsg() = default;

void CMsg::Set(int type, int wParam, int lParam) {
  m_nType = type;
  m_wParam = wParam;
  m_lParam = lParam;
}
