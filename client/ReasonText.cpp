#include "ReasonText.h"

#include <QObject>

QString shareFailReasonText(int code) {
  switch (code) {
    case 0:
    case 65: return QObject::tr("connect code error!");
    case 1: return QObject::tr("the meeting is over!");
    case 2:
    case 67: return QObject::tr("connection dropped!");
    case 3: return QObject::tr("new user connected!");
    case 16: return QObject::tr("no sharing rights, please contact the host to open it!");
    case 17: return QObject::tr("already sharing!");
    case 64: return QObject::tr("someone else is connected!");
    case 66: return QObject::tr("failed to establish connection!");
    default: return QObject::tr("unknow reason!");
  }
}

QString sdkErrorText(int code) {
  switch (code) {
    case 1: return QObject::tr("param error");
    case 5: return QObject::tr("unable share");
    case 7: return QObject::tr("unable to connect to box");
    case 14: return QObject::tr("server disconnect");
    default: return QObject::tr("Unknow error");
  }
}
