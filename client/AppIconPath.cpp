#include "AppIconPath.h"

QString AppIconPath(int kind) {
  switch (kind) {
    case 0:
      return QStringLiteral(":/Res/App.png");
    case 1:
      return QStringLiteral(":/Res/action_about.png");
    case 2:
      return QStringLiteral(":/Res/action_exit.png");
    default:
      return QString();
  }
}
