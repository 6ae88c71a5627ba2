#include "CmdParamDeal.h"

CmdParamDeal::~CmdParamDeal() = default;

void CmdParamDeal::ParseArgs(int argc, const char* const* argv, const QString& separator) {
  m_params.clear();
  if (argv == nullptr) return;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    ParseItem(QString::fromUtf8(argv[i]), separator);
  }
}

void CmdParamDeal::ParseItem(const QString& item, const QString& separator) {
  const int at = item.indexOf(separator, 0, Qt::CaseSensitive);
  // An empty key would be meaningless to every reader of the map.
  if (at <= 0) return;
  m_params.insert(item.left(at), item.mid(at + separator.size()));
}

bool CmdParamDeal::GetValue(const QString& key, QString& value) const {
  const auto it = m_params.constFind(key);
  if (it == m_params.constEnd()) return false;
  value = it.value();
  return true;
}

QString CmdParamDeal::GetString(const QString& key, const QString& defaultValue) const {
  return m_params.value(key, defaultValue);
}

void CmdParamDeal::SetValue(const QString& key, const QString& value) { m_params.insert(key, value); }

QString CmdParamDeal::ToString(const QString& delimiter, const QString& separator) const {
  QString text;
  for (auto it = m_params.constBegin(); it != m_params.constEnd(); ++it) {
    text += it.key();
    text += separator;
    text += it.value();
    text += delimiter;
  }
  return text;
}
