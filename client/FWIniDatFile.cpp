#include "FWIniDatFile.h"

#include <QFile>

#include "IniHelpers.h"
#include "PathText.h"

FWCfgger* gSettings = nullptr;

FWIniDatFile& FWIniDatFile::instance() {
  // The exit path ends the process without running destructors, and the SDK
  // keeps the pointer: the object must never go away.
  static FWIniDatFile* settings = new FWIniDatFile;
  return *settings;
}

FWIniDatFile::FWIniDatFile() { gSettings = this; }

bool FWIniDatFile::setString(const QString& key, const QString& value, const QString& section) {
  return IniWriteString(section, key, value, path_);
}

void FWIniDatFile::setInt(const QString& key, int value, const QString& section) {
  IniWriteString(section, key, QString::number(value), path_);
}

QString FWIniDatFile::getString(const QString& key, const QString& section) {
  return IniReadString(section, key, path_);
}

int FWIniDatFile::getInt(const QString& key, int defaultValue, const QString& section) {
  const QString text = IniReadString(section, key, path_);
  if (text.isEmpty()) return defaultValue;
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  return ok ? value : 0;
}

bool FWIniDatFile::removeKey(const QString& key, const QString& section) {
  return IniDeleteKey(section, key, path_);
}

bool FWIniDatFile::removeSection(const QString& section) { return IniDeleteSection(section, path_); }

void FWIniDatFile::setFile(const QString& path) {
  path_ = path;
  // Only this name is cleared: the ini layer's own lock (".UserCfg.ini.lock")
  // may be held by a writer in another process (the updater), and removing it
  // would let a second writer in beside that one.
  QFile::remove(path + QStringLiteral(".lock"));
  GetUsrID();
}

QString FWIniDatFile::getFile() { return path_; }

QString FWIniDatFile::getMeetList() { return getString(QStringLiteral("meetList"), QStringLiteral("CFG")); }

QString GetUsrID() {
  FWIniDatFile& settings = FWIniDatFile::instance();
  QString id = settings.getString(QStringLiteral("UsrID"), QStringLiteral("CFG"));
  if (id.isEmpty()) {
    id = CreateUuidText();
    settings.setString(QStringLiteral("UsrID"), id, QStringLiteral("CFG"));
  }
  return id;
}
