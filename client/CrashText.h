// The lines of the client's crash text, kept ready from the first step of
// start-up: the crash hook only copies them, so it neither allocates nor reads
// settings or files, whichever thread crashes and however early.
#pragma once

#include <QByteArray>

#include <atomic>

class CCrashText {
 public:
  // The most of the log's tail the text carries.
  static constexpr int kLogTailMax = 20480;

  CCrashText();

  // Each value may be set again at any time from one thread (the GUI
  // thread); a crash on another thread sees either the old or the new value.
  // Values are cut to what the line can hold.
  void setModule(const QByteArray& value) { module_.set(value); }
  void setVersion(const QByteArray& value) { version_.set(value); }
  void setExeTime(const QByteArray& value) { exeTime_.set(value); }
  void setPcId(const QByteArray& value) { pcId_.set(value); }
  void setIp(const QByteArray& value) { ip_.set(value); }

  // The whole table, unknown values empty, into a buffer reserved in
  // advance; text then shares it. Called once, by the crash hook.
  void compose(const char* dumpTime, const char* logTail, int logTailLength, QByteArray& text);

 private:
  // Two slots: a value is written into the one not in use, then published.
  class Field {
   public:
    void set(const QByteArray& value);
    const char* text(int* length) const;

   private:
    static constexpr int kCapacity = 256;
    char slots_[2][kCapacity] = {};
    int lengths_[2] = {};
    std::atomic<int> current_{0};
  };

  Field module_;
  Field version_;
  Field exeTime_;
  Field pcId_;
  Field ip_;
  QByteArray buffer_;
};
