// Pages run offscreen, with the fake SDK wired to the client's adapters as
// start-up wires the real one.
#include <gtest/gtest.h>

#include <QApplication>

#include "BoxSearchCallBackImpl.h"
#include "TransCtrlCallBackImpl.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  CORVANESDK::GetBoxSearchEngine().setCallBack(&CBoxSearchCallBackImpl::instance());
  CORVANESDK::GetTransCtrlEngine().setCallBack(&CTransCtrlCallBackImpl::instance());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
