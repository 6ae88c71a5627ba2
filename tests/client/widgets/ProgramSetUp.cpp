// Widget tests run offscreen (or on the X server, for the screen tests) with
// the built resources and style sheet, as the client loads them at start-up.
#include <QApplication>

#include "../ClientLook.h"
#include "QtTestMain.h"

const TestProgramHooks kHooks([] { return LoadClientLook(*qApp, QStringLiteral(CORVANE_RES_DIR)); });
