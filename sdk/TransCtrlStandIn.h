// Stands in for the session with a box until the protocol thread exists:
// every request is logged and nothing is sent.
#pragma once

#include "CorvaneSDK.h"

class CTransCtrlStandIn : public CORVANESDK::ITransCtrl {
 public:
  CTransCtrlStandIn();

  void setCallBack(CORVANESDK::ITransCtrlCallBack* cb) override;
  void setCaptureCfg(const CORVANESDK::SSCFG& cfg) override;
  void connectBox(const CORVANESDK::BOX_INFO& box) override;
  void cancelConnect() override;
  void disconnectBox() override;
  void startShare() override;
  void stopShare() override;
  int getState() override;
  CORVANESDK::BOX_INFO getCurBox() override;
  void checkConnect(const char* code) override;
  int getIFrameMSecond() override;

 private:
  CORVANESDK::ITransCtrlCallBack* m_callBack;
};
