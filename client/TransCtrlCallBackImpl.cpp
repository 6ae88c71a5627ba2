#include "TransCtrlCallBackImpl.h"

CTransCtrlCallBackImpl& CTransCtrlCallBackImpl::instance() {
  static CTransCtrlCallBackImpl adapter;
  return adapter;
}

CTransCtrlCallBackImpl::CTransCtrlCallBackImpl() {
  // The signal crosses threads: both argument types must be known to queue it.
  qRegisterMetaType<QMap<QString, QString>>("QMap<QString,QString>");
  qRegisterMetaType<CORVANESDK::NET_NOTIFY>("CORVANESDK::NET_NOTIFY");
}

void CTransCtrlCallBackImpl::onNetNfy(CORVANESDK::NET_NOTIFY nty, const std::map<std::string, std::string>& params) {
  QMap<QString, QString> copy;
  for (const auto& pair : params) copy.insert(QString::fromStdString(pair.first), QString::fromStdString(pair.second));
  emit ss_netNfy(nty, copy);
}
