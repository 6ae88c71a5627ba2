// Widget tests run offscreen (or on the X server, for the screen tests) with the built resources and style sheet, as the
// client loads them at start-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QResource>

#include "ScreenScale.h"

int main(int argc, char** argv) {
#ifndef CORVANE_WIDGETS_ON_X
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  // The scale factor is ours; Qt's own would scale a second time.
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
  QApplication app(argc, argv);
  const QString res = QStringLiteral(CORVANE_RES_DIR);
  if (!QResource::registerResource(res + "/Corvane.rcc")) {
    fprintf(stderr, "cannot register %s/Corvane.rcc\n", qPrintable(res));
    return 1;
  }
  QFile sheet(res + "/Corvane.qss");
  if (!sheet.open(QIODevice::ReadOnly)) {
    fprintf(stderr, "cannot read %s/Corvane.qss\n", qPrintable(res));
    return 1;
  }
  app.setStyleSheet(scaleStyleSheet(QString::fromLocal8Bit(sheet.readAll())));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
