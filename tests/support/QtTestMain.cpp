// The main of every test program that needs a Qt application object: queued
// signals, event loops, sockets, windows. The linked qt_test_main* library
// picks the application class; CORVANE_TEST_ON_X keeps a GUI program on the X
// server that with-xvfb.sh started instead of offscreen.
#include "QtTestMain.h"

#include <gtest/gtest.h>

#include <utility>

#if defined(CORVANE_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(CORVANE_TEST_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

namespace {

struct Hooks {
  std::function<bool()> setUp;
  std::function<void()> tearDown;
};

// Filled by static initialisers of the test program's own files.
Hooks& ProgramHooks() {
  static Hooks hooks;
  return hooks;
}

}  // namespace

TestProgramHooks::TestProgramHooks(std::function<bool()> setUp, std::function<void()> tearDown) {
  ProgramHooks() = Hooks{std::move(setUp), std::move(tearDown)};
}

bool TestProgramHooks::SetUp() { return !ProgramHooks().setUp || ProgramHooks().setUp(); }

void TestProgramHooks::TearDown() {
  if (ProgramHooks().tearDown) ProgramHooks().tearDown();
}

int main(int argc, char** argv) {
#if defined(CORVANE_TEST_WIDGETS) || defined(CORVANE_TEST_GUI)
#ifndef CORVANE_TEST_ON_X
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  // The scale factor is ours; Qt's own would scale a second time.
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
#endif
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (!TestProgramHooks::SetUp()) return 1;
  const int rc = RUN_ALL_TESTS();
  TestProgramHooks::TearDown();
  return rc;
}
