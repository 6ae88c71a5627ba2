// Pages run offscreen (or on the X server, for the screen tests, with the
// resources and style sheet the client loads), with the fake SDK wired to the
// client's adapters as start-up wires the real one.
#include <QApplication>

#include "../ClientLook.h"
#include "BoxSearchCallBackImpl.h"
#include "QtTestMain.h"
#include "TransCtrlCallBackImpl.h"

const TestProgramHooks kHooks([] {
#ifdef CORVANE_TEST_ON_X
  if (!LoadClientLook(*qApp, QStringLiteral(CORVANE_RES_DIR))) return false;
#endif
  CORVANESDK::GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  CORVANESDK::GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  return true;
});
