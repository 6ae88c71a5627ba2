// The built resources and style sheet, loaded as the client loads them at
// start-up, for tests that look at real windows.
#pragma once

#include <QApplication>
#include <QFile>
#include <QResource>

#include <cstdio>

#include "ScreenScale.h"

inline bool LoadClientLook(QApplication& app, const QString& res) {
  if (!QResource::registerResource(res + "/Corvane.rcc")) {
    fprintf(stderr, "cannot register %s/Corvane.rcc\n", qPrintable(res));
    return false;
  }
  QFile sheet(res + "/Corvane.qss");
  if (!sheet.open(QIODevice::ReadOnly)) {
    fprintf(stderr, "cannot read %s/Corvane.qss\n", qPrintable(res));
    return false;
  }
  app.setStyleSheet(scaleStyleSheet(QString::fromLocal8Bit(sheet.readAll())));
  return true;
}
