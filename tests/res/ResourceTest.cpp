// The built Res folder as the client loads it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QWidget>
#include <QRegularExpression>
#include <QResource>
#include <QTranslator>

#include "ScreenScale.h"

namespace {

const QString kRes = QStringLiteral(CORVANE_RES_DIR);

QStringList g_warnings;
void Collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg) g_warnings << message;
}

QString StyleSheet() {
  QFile file(kRes + "/Corvane.qss");
  return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

TEST(ResourceTest, StyleSheetInstallsWithoutWarning) {
  ASSERT_TRUE(QResource::registerResource(kRes + "/Corvane.rcc"));
  const QString sheet = StyleSheet();
  ASSERT_FALSE(sheet.isEmpty());
  for (float factor : {1.0f, 1.25f, 1.5f}) {
    setScreenScaleForTest(factor);
    const QString scaled = scaleStyleSheet(sheet);
    EXPECT_FALSE(scaled.contains("SCREENSCALE"));
    g_warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler(Collect);
    qApp->setStyleSheet(scaled);
    QWidget probe;  // a polish parses the sheet
    probe.ensurePolished();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_warnings.isEmpty()) << "factor " << factor << ": " << g_warnings.join("; ").toStdString();
  }
  setScreenScaleForTest(1.0f);
  qApp->setStyleSheet(QString());
}

TEST(ResourceTest, EveryUrlOfTheStyleSheetIsInTheResourceFile) {
  ASSERT_TRUE(QResource::registerResource(kRes + "/Corvane.rcc"));
  const QRegularExpression url(QStringLiteral("url\\(\\s*([^)\\s]+)\\s*\\)"));
  int count = 0;
  for (auto it = url.globalMatch(StyleSheet()); it.hasNext();) {
    const QString path = it.next().captured(1);
    ++count;
    EXPECT_TRUE(path.startsWith(":/")) << path.toStdString();
    EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
  }
  EXPECT_GT(count, 0);
  // The frameless dialog's shadow, named in code.
  EXPECT_EQ(QImage(":/Res/new/shadow_round.png").size(), QSize(64, 64));
  // The icons named in code; About shows the product icon at 96 pixels.
  EXPECT_GE(QImage(":/Res/App.png").width(), 96);
  EXPECT_FALSE(QImage(":/Res/action_about.png").isNull());
  EXPECT_FALSE(QImage(":/Res/action_exit.png").isNull());
}

TEST(ResourceTest, QtCatalogLoadsWithItsModules) {
  QTranslator translator;
  ASSERT_TRUE(translator.load(kRes + "/qt_zh_CN.qm"));
  EXPECT_FALSE(translator.isEmpty());
  // A qtbase text: found only when the catalog reached its module files.
  EXPECT_EQ(translator.translate("QPlatformTheme", "&Yes"), QString::fromUtf8("是(&Y)"));
}

TEST(ResourceTest, ClientCatalogHasTheKitTexts) {
  QTranslator translator;
  ASSERT_TRUE(translator.load(kRes + "/Corvane_zh_CN.qm"));
  EXPECT_EQ(translator.translate("FWMsgBox", "Ok"), QString::fromUtf8("确定"));
  EXPECT_EQ(translator.translate("standardTitleBar", "Close"), QString::fromUtf8("关闭"));
}

}  // namespace
