#include "NamedThread.h"

#include <platform/ExceptionFilter.h>
#include <platform/ThreadName.h>

QNamedThread::QNamedThread(QObject* parent) : QThread(parent) {
  setObjectName(QStringLiteral("QNamedThread"));
}

void QNamedThread::run() {
  // Before any hook: a subclass's own begin hook may already overflow.
  InstallThreadCrashStack();
  onThreadBegin();
  QThread::run();
  onThreadEnd();
}

void QNamedThread::onThreadBegin() { applyThreadName(); }

void QNamedThread::onThreadEnd() {}

void QNamedThread::applyThreadName() {
  QString name = objectName();
  if (name.isEmpty()) name = QString::fromLatin1(metaObject()->className());
  SetThreadName(name.toLocal8Bit().constData());
}

// A name costs nothing here, so it is set whether or not a debugger is
// attached: one that attaches later sees it too.
void SetThreadName(const char* name) { SetCurrentThreadName(name); }
