// An ordered key/value map read from "key<separator>value" items and written
// back as text, for the client's own command line and the updater's.
#pragma once

#include <QMap>
#include <QString>

class CmdParamDeal {
 public:
  CmdParamDeal() = default;
  virtual ~CmdParamDeal();

  // Clears the map, then reads argv[1] .. argv[argc - 1] (UTF-8) as items.
  void ParseArgs(int argc, const char* const* argv, const QString& separator);
  // Items without the separator, or starting with it, are ignored.
  void ParseItem(const QString& item, const QString& separator);

  // The value is left untouched when the key is absent.
  bool GetValue(const QString& key, QString& value) const;
  QString GetString(const QString& key, const QString& defaultValue) const;
  void SetValue(const QString& key, const QString& value);

  // key, separator, value and delimiter for every entry, in key order.
  QString ToString(const QString& delimiter, const QString& separator) const;

 protected:
  // QString's operator< compares UTF-16 code units, case-sensitively: the
  // order the updater's build uses as well.
  QMap<QString, QString> m_params;
};
