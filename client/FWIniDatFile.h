// The settings object: FWCfgger over the client's UserCfg.ini.
#pragma once

#include <QString>

#include "FWInterfaces.h"

class FWIniDatFile : public FWCfgger {
 public:
  // The one settings object, made on the first call and never destroyed.
  static FWIniDatFile& instance();

  bool setString(const QString& key, const QString& value, const QString& section) override;
  void setInt(const QString& key, int value, const QString& section) override;
  QString getString(const QString& key, const QString& section) override;
  // A text that is no decimal number reads as 0, not as the default.
  int getInt(const QString& key, int defaultValue, const QString& section) override;
  bool removeKey(const QString& key, const QString& section) override;
  bool removeSection(const QString& section) override;

  // Also removes a leftover "<path>.lock" and makes sure the file holds a UsrID.
  virtual void setFile(const QString& path);
  virtual QString getFile();
  virtual QString getMeetList();

 private:
  FWIniDatFile();

  QString path_;
};

// The same object as FWIniDatFile::instance, once it exists: what the client
// lends to the SDK and the log-report library.
extern FWCfgger* gSettings;

// The installation's id (a UUID without braces), made and stored on first use.
QString GetUsrID();
