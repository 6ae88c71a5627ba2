#include "SetupErrand.h"

#include <QByteArray>
#include <QString>

#include <platform/Errand.h>
#include <platform/Scribe.h>

#include "AppLog.h"
#include "AppPaths.h"
#include "FWIniDatFile.h"
#include "JsonHelpers.h"

// The report servers: one by name, one by address, both on the report port.
static const char kReportServers[] = "localhost:12005;127.0.0.1:12005";

void SetupErrand() {
  const QString name = QStringLiteral("%1_%2").arg(QStringLiteral("Corvane"), QStringLiteral("win32"));
  getErrand()->init(&theAppLog, &FWIniDatFile::instance(), name, GetAppVersion(), GetUsrID());
  getErrand()->setTypeCode(113);

  char localIp[kLocalIPv4Size] = {};
  GetLocalIPv4(localIp);
  getErrand()->setLocalIp(QString::fromLocal8Bit(localIp));
  getErrand()->setClientIp(QString::fromLocal8Bit(localIp));

  getErrand()->setServers(QByteArray(kReportServers));

  char logPaths[kScribeLogPathsSize] = {};
  ScribeGetLogPaths(logPaths);
  getErrand()->setLogFile(QString::fromLocal8Bit(logPaths));
}
