// Widget tests run offscreen (or on the X server, for the screen tests) with the built resources and style sheet, as the
// client loads them at start-up.
#include <gtest/gtest.h>

#include <QApplication>

#include "../ClientLook.h"

int main(int argc, char** argv) {
#ifndef CORVANE_WIDGETS_ON_X
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  // The scale factor is ours; Qt's own would scale a second time.
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
  QApplication app(argc, argv);
  if (!LoadClientLook(app, QStringLiteral(CORVANE_RES_DIR))) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
