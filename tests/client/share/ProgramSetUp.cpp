// The share helpers' tests run on the X server that with-xvfb.sh started, with
// the built resources and style sheet and a settings file of their own.
#include <QApplication>
#include <QTemporaryDir>

#include <memory>

#include "../ClientLook.h"
#include "FWIniDatFile.h"
#include "QtTestMain.h"

namespace {

std::unique_ptr<QTemporaryDir> g_settingsDir;

const TestProgramHooks kHooks(
    [] {
      if (!LoadClientLook(*qApp, QStringLiteral(CORVANE_RES_DIR))) return false;
      g_settingsDir = std::make_unique<QTemporaryDir>();
      if (!g_settingsDir->isValid()) return false;
      FWIniDatFile::instance().setFile(g_settingsDir->filePath(QStringLiteral("UserCfg.ini")));
      return true;
    },
    [] { g_settingsDir.reset(); });

}  // namespace
