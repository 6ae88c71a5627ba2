// The SDK's root object: init/uninit and the version of the running program.
#pragma once

#include <mutex>

#include <QObject>

#include "CorvaneSDK.h"

class CCorvaneSDKImpl : public QObject, public CORVANESDK::ICorvaneSDK {
  Q_OBJECT

 public:
  CCorvaneSDKImpl() = default;

  int init(FWlogger* log, FWCfgger* cfg) override;
  void uninit() override;
  const char* getVersion() override;

 private:
  std::mutex m_versionLock;
  // "65535.65535.65535.65535" and its terminator fit.
  char m_version[32] = {};
};
