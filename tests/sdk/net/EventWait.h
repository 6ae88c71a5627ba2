// Waits for a condition while the event loop runs, with a deadline.
#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

// Lets queued events run for a while, for checks that nothing more arrives.
inline void Settle(int ms = 200) {
  WaitFor([] { return false; }, ms);
}
