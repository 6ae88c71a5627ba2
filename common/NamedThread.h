// A QThread that names its system thread after the object, with hooks that run
// on the new thread around its event loop.
#pragma once

#include <QThread>

class QNamedThread : public QThread {
  Q_OBJECT

 public:
  explicit QNamedThread(QObject* parent = nullptr);

 protected:
  void run() override;
  virtual void onThreadBegin();
  virtual void onThreadEnd();
  void applyThreadName();
};

// Names the calling thread for debuggers and process listings.
void SetThreadName(const char* name);
