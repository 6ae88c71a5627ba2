// What a test program does around its tests, run by the one test main the
// Qt test programs share (QtTestMain.cpp). A program defines at most one, at
// namespace scope:
//   const TestProgramHooks kHooks([] { return LoadSomething(); });
#pragma once

#include <functional>

class TestProgramHooks {
 public:
  // setUp runs once the application object exists, before the tests; false
  // ends the program with 1. tearDown runs after the tests, before the
  // application object goes.
  explicit TestProgramHooks(std::function<bool()> setUp, std::function<void()> tearDown = {});

  static bool SetUp();
  static void TearDown();
};
