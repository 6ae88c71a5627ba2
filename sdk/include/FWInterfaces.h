// The host's log sink and settings store, lent to the components it hosts.
#pragma once

#include <cstdarg>

#include <QString>

// The interfaces below are never deleted through: each object stays its
// maker's. Their destructors are protected and not virtual, so the table of
// functions the other side calls is what it always was.
class FWlogger {
 public:
  // level: 0 routine, 1 notable step, 2 warning, 3 error. Called from any
  // thread at once: an implementation must accept concurrent calls.
  virtual void writeLog(int level, const char* module, const char* fmt, va_list args) = 0;

 protected:
  ~FWlogger() = default;
};

class FWCfgger {
 public:
  virtual bool setString(const QString& key, const QString& value, const QString& section) = 0;
  virtual void setInt(const QString& key, int value, const QString& section) = 0;
  virtual QString getString(const QString& key, const QString& section) = 0;
  virtual int getInt(const QString& key, int defaultValue, const QString& section) = 0;
  virtual bool removeKey(const QString& key, const QString& section) = 0;
  virtual bool removeSection(const QString& section) = 0;

 protected:
  ~FWCfgger() = default;
};
