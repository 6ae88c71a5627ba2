// Connection notifications from the SDK's protocol thread as a Qt signal.
#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include <map>
#include <string>

#include "CorvaneSDK.h"

Q_DECLARE_METATYPE(CORVANESDK::NET_NOTIFY)

class CTransCtrlCallBackImpl : public QObject, public CORVANESDK::ITransCtrlCallBack {
  Q_OBJECT

 public:
  static CTransCtrlCallBackImpl& instance();

  // Runs on the SDK's protocol thread: receivers on the GUI thread get the
  // signal queued, with a copy of the map, in the order of the calls.
  void onNetNfy(CORVANESDK::NET_NOTIFY nty, const std::map<std::string, std::string>& params) override;

 signals:
  void ss_netNfy(CORVANESDK::NET_NOTIFY ret, QMap<QString, QString> params);

 private:
  CTransCtrlCallBackImpl();
};
