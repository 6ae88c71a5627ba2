#include "App.h"

#include "FWIniDatFile.h"

CApp theApp;

CApp::CApp() : QObject(nullptr) {}

void CApp::saveLastBoxInfo(const QString& boxId) {
  FWIniDatFile::instance().setString(QStringLiteral("LastBoxInfo"), boxId, QStringLiteral("CFG"));
}

QString CApp::lastUserAddIp() {
  return FWIniDatFile::instance().getString(QStringLiteral("LastUserAddIp"), QStringLiteral("CFG"));
}

void CApp::saveLastUserAddIp(const QString& ip) {
  FWIniDatFile::instance().setString(QStringLiteral("LastUserAddIp"), ip, QStringLiteral("CFG"));
}
