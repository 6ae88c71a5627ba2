// Pages run offscreen (or on the X server, for the screen tests, with the
// resources and style sheet the client loads), with the fake SDK wired to the
// client's adapters as start-up wires the real one.
#include <gtest/gtest.h>

#include <QApplication>

#include "../ClientLook.h"
#include "BoxSearchCallBackImpl.h"
#include "TransCtrlCallBackImpl.h"

int main(int argc, char** argv) {
#ifndef CORVANE_PAGES_ON_X
  qputenv("QT_QPA_PLATFORM", "offscreen");
#else
  // The scale factor is ours; Qt's own would scale a second time.
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
#endif
  QApplication app(argc, argv);
#ifdef CORVANE_PAGES_ON_X
  if (!LoadClientLook(app, QStringLiteral(CORVANE_RES_DIR))) return 1;
#endif
  CORVANESDK::GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  CORVANESDK::GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
