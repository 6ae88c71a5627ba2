#include "PRXCmdLineAnalyse.h"

#include <QtGlobal>

#include <platform/Log.h>

#include "Base64.h"

static bool Representable(const QString& key, const QString& value) {
  const QChar lineFeed = QLatin1Char('\n');
  return !key.isEmpty() && !key.contains(QLatin1Char('=')) && !key.contains(lineFeed) && !value.contains(lineFeed);
}

QString PRXCmdLineAnalyse::ToCmdLine() const {
  CmdParamDeal safe;
  for (auto it = m_params.constBegin(); it != m_params.constEnd(); ++it) {
    if (!Representable(it.key(), it.value())) {
      QString shown = it.key().left(64);
      shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
      PlatformLog("PRXCmdLineAnalyse: dropped item \"%s\": a line feed or '=' would change the updater's items",
                  qUtf8Printable(shown));
      continue;
    }
    safe.SetValue(it.key(), it.value());
  }
  const QString text = safe.ToString(QStringLiteral("\n"), QStringLiteral("="));
  QString encoded;
  if (!Base64EncodeText(text, encoded)) return prefix;
  return prefix + encoded;
}
