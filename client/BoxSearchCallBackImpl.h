// Box search answers from the SDK as a Qt signal.
#pragma once

#include <QObject>

#include "CorvaneSDK.h"

class CBoxSearchCallBackImpl : public QObject, public CORVANESDK::IBoxSearchCallBack {
  Q_OBJECT

 public:
  static CBoxSearchCallBackImpl& instance();

  // The SDK calls it on the GUI thread, so receivers run inside the call.
  void onBoxJoin(const CORVANESDK::BOX_INFO& box) override;

 signals:
  void s_boxJoin(CORVANESDK::MEETING_BOX_INFO box);

 private:
  CBoxSearchCallBackImpl() = default;
};
