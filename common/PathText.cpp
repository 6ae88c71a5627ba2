#include "PathText.h"

#include <QString>
#include <QUuid>

QString CreateUuidText() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QString ToNativeSeparators(const QString& path) {
  QString text = path;
  text.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return text;
}

QString ToNativeDir(const QString& path) {
  QString text = ToNativeSeparators(path);
  if (!text.endsWith(QLatin1Char('/'))) text += QLatin1Char('/');
  return text;
}
