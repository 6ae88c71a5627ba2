// The share helpers' tests run on the X server that with-xvfb.sh started, with
// the built resources and style sheet and a settings file of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QResource>
#include <QTemporaryDir>

#include "FWIniDatFile.h"
#include "ScreenScale.h"

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
  QApplication app(argc, argv);
  const QString res = QStringLiteral(CORVANE_RES_DIR);
  if (!QResource::registerResource(res + "/Corvane.rcc")) {
    fprintf(stderr, "cannot register %s/Corvane.rcc\n", qPrintable(res));
    return 1;
  }
  QFile sheet(res + "/Corvane.qss");
  if (sheet.open(QIODevice::ReadOnly)) app.setStyleSheet(scaleStyleSheet(QString::fromLocal8Bit(sheet.readAll())));
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  FWIniDatFile::instance().setFile(dir.filePath(QStringLiteral("UserCfg.ini")));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
